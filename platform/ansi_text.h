#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// Code page 936 two-byte characters: a lead byte 0x81..0xFE followed by a trail byte 0x40..0xFE other
// than 0x7F. Trail bytes overlap ASCII letters and punctuation such as ']' and '\\', so any scan for an
// ASCII character in 936 text has to step over whole characters.
constexpr bool IsLeadByte936(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}
constexpr bool IsTrailByte936(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// Length (1 or 2) of the character starting at `pos`; a lead byte without a valid trail byte stands alone.
std::size_t CharLength936(std::string_view text, std::size_t pos);

// Whether the `length` bytes at `pos` (as CharLength936 gives them) are a character that code page 936
// maps to Unicode: ASCII, and the pairs and single bytes that iconv converts. A lead byte standing
// alone, 0xFF and the unassigned pairs are not.
bool IsMapped936(std::string_view text, std::size_t pos, std::size_t length);

// The text with every character that is not mapped replaced by "?". Text from outside (the parse reply,
// the command line, a hand-off record) passes here once on entry, and the writers of XML, file names and
// rows apply it again, so a stray lead byte can never swallow the delimiter that follows it.
std::string Valid936(std::string_view text);

// Equal when both hold the same characters, ASCII letters compared without case. A two-byte character
// compares as a unit and is never case-folded.
bool EqualsIgnoreCase936(std::string_view a, std::string_view b);

// The longest prefix of at most `maxBytes` bytes that does not end inside a two-byte character.
std::string_view CutAtCharBoundary936(std::string_view text, std::size_t maxBytes);

// Position of the first `ch` (an ASCII character) that stands as a character of its own, never a trail
// byte; npos when there is none.
std::size_t FindChar936(std::string_view text, char ch, std::size_t from = 0);

}  // namespace platform
