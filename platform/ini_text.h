#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The text of an initialization file, in code page 936: "[section]" lines, then "key=value" lines.
// Section and key names compare without ASCII case and with surrounding blanks ignored; lines that are
// neither a section nor a key are kept but never match, so any bytes at all can be read.

// The value of the first matching key of the first matching sections, blanks around it removed and one
// pair of enclosing quotes (" or ') taken off; nothing when the section or the key is missing.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key);

// Whether a write of these names and value reads back as one key: no line breaks or NUL anywhere, no
// ']' in the section name, a key name that is not empty, holds no '=' and does not start with '['.
bool IsWritableIniEntry(std::string_view section, std::string_view key, std::string_view value);

// `text` with the key set to `value`: the existing key line gets the new value, a missing key goes after
// the last line of its section, a missing section is appended. Every other byte stays as it was; new
// lines end like the file's first line. The entry must be writable (IsWritableIniEntry).
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

}  // namespace platform
