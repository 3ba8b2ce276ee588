#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// One key to set, for SettingsFile::WriteStrings.
struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Read and write access to one initialization file, holding nothing between calls: every read asks
// the file, every write rewrites it at once. Paths, names and values are code page 936 text; the file
// keeps them as they are. Section and key names compare without ASCII case, blanks around names and
// values are ignored, and a pair of quotes around a value is taken off when reading.
class SettingsFile {
public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The leading decimal digits of the value (0 when it has none; values above the int range read as
    // its largest value); `defaultValue` when the file, section or key is missing.
    int ReadInt(std::string_view section, std::string_view key, int defaultValue) const;

    // The value, or `defaultValue` when the file, section or key is missing, cut to at most
    // bufferSize - 1 bytes without splitting a two-byte character.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue,
                           std::size_t bufferSize) const;

    // Sets the key, creating the file (readable by its user only), the section and the key as needed and
    // keeping every other byte of the file. Refused, with the file untouched, when the names or the value
    // could not read back as this one key (line breaks, NUL, ']' in a section name, '=' in a key name,
    // an empty key name) or when an existing file cannot be read.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

    // Sets every key, in order, in one replace of the file: all of them are stored or none is. A file
    // that holds them all already is left alone. 0 when done; EINVAL when an entry would not read
    // back as its one key; else the errno of the read or the replace that failed.
    int WriteStrings(const std::vector<IniEntry>& entries) const;

private:
    std::string path_;
};

}  // namespace platform
