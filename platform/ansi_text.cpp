#include "platform/ansi_text.h"

#include <bitset>
#include <vector>

#include "platform/codepage.h"

namespace platform {
namespace {

constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kFirstTrail = 0x40;
constexpr unsigned kTrailSpan = 0xFF - kFirstTrail;
using PairTable = std::bitset<(0xFF - kFirstLead) * kTrailSpan>;

std::size_t PairIndex(unsigned char lead, unsigned char trail) {
    return (lead - kFirstLead) * kTrailSpan + (trail - kFirstTrail);
}

// Which pairs survive the way to Unicode and back, asked once in one batch: thousands of user-defined
// pairs have no character in iconv and would come back from a UTF-8 file as "?".
const PairTable& MappedPairs() {
    static const PairTable table = [] {
        // Every pair on a line of its own; a pair iconv rejects turns into U+FFFD and its trail byte.
        std::string pairs;
        std::vector<std::size_t> indexes;
        for (unsigned lead = kFirstLead; lead <= 0xFE; ++lead) {
            for (unsigned trail = kFirstTrail; trail <= 0xFE; ++trail) {
                if (trail != 0x7F) {
                    pairs += static_cast<char>(lead);
                    pairs += static_cast<char>(trail);
                    pairs += '\n';
                    indexes.push_back(PairIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)));
                }
            }
        }
        std::u16string wide = MultiByteToWide(kAnsiCodePage, pairs);
        std::u16string back;
        std::vector<std::size_t> candidates;
        std::size_t line = 0;
        for (std::size_t start = 0; start < wide.size() && line < indexes.size(); ++line) {
            std::size_t end = wide.find(u'\n', start);
            if (end == std::u16string::npos) {
                break;
            }
            if (end - start == 1 && wide[start] != u'\uFFFD') {
                back += wide[start];
                back += u'\n';
                candidates.push_back(line);
            }
            start = end + 1;
        }
        std::string narrow = WideToMultiByte(kAnsiCodePage, back);
        PairTable mapped;
        std::size_t pos = 0;
        for (std::size_t candidate : candidates) {
            std::size_t end = narrow.find('\n', pos);
            if (end == std::string::npos) {
                break;
            }
            if (narrow.compare(pos, end - pos, pairs, candidate * 3, 2) == 0) {
                mapped.set(indexes[candidate]);
            }
            pos = end + 1;
        }
        return mapped;
    }();
    return table;
}

bool MappedSingle(unsigned char byte) {
    static const bool euro = MultiByteToWide(kAnsiCodePage, "\x80") == u"\u20AC";
    return byte < 0x80 || (byte == 0x80 && euro);
}

unsigned char AsciiLower(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
}

}  // namespace

std::size_t CharLength936(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte936(static_cast<unsigned char>(text[pos])) &&
        IsTrailByte936(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

bool IsMapped936(std::string_view text, std::size_t pos, std::size_t length) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (length == 1) {
        return MappedSingle(byte);
    }
    return MappedPairs().test(PairIndex(byte, static_cast<unsigned char>(text[pos + 1])));
}

std::string Valid936(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = CharLength936(text, pos);
        if (static_cast<unsigned char>(text[pos]) < 0x80 || IsMapped936(text, pos, length)) {
            valid.append(text.substr(pos, length));
        } else {
            valid += '?';
        }
        pos += length;
    }
    return valid;
}

bool EqualsIgnoreCase936(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t pos = 0;
    while (pos < a.size()) {
        std::size_t length = CharLength936(a, pos);
        if (length != CharLength936(b, pos)) {
            return false;
        }
        if (length == 2) {
            if (a.compare(pos, 2, b, pos, 2) != 0) {
                return false;
            }
        } else if (AsciiLower(static_cast<unsigned char>(a[pos])) != AsciiLower(static_cast<unsigned char>(b[pos]))) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string_view CutAtCharBoundary936(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t length = CharLength936(text, pos);
        if (pos + length > maxBytes) {
            break;
        }
        pos += length;
    }
    return text.substr(0, pos);
}

std::size_t FindChar936(std::string_view text, char ch, std::size_t from) {
    for (std::size_t pos = from; pos < text.size(); pos += CharLength936(text, pos)) {
        if (text[pos] == ch) {
            return pos;
        }
    }
    return std::string_view::npos;
}

}  // namespace platform
