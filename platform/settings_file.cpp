#include "platform/settings_file.h"

#include <cerrno>
#include <climits>
#include <optional>

#include "platform/ansi_text.h"
#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "platform/ini_text.h"

namespace platform {
namespace {

std::optional<std::string> FindValue(const std::string& path, std::string_view section, std::string_view key) {
    std::optional<std::string> text = ReadWholeFile(Utf8FromAnsi(path));
    if (!text) {
        return std::nullopt;
    }
    return FindIniValue(*text, section, key);
}

int LeadingDigits(std::string_view value) {
    long long number = 0;
    for (char ch : value) {
        if (ch < '0' || ch > '9') {
            break;
        }
        number = number * 10 + (ch - '0');
        if (number > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(number);
}

}  // namespace

int SettingsFile::ReadInt(std::string_view section, std::string_view key, int defaultValue) const {
    std::optional<std::string> value = FindValue(path_, section, key);
    return value ? LeadingDigits(*value) : defaultValue;
}

std::string SettingsFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                     std::size_t bufferSize) const {
    if (bufferSize == 0) {
        return "";
    }
    std::optional<std::string> value = FindValue(path_, section, key);
    return std::string(CutAtCharBoundary936(value ? std::string_view(*value) : defaultValue, bufferSize - 1));
}

bool SettingsFile::WriteString(std::string_view section, std::string_view key, std::string_view value) const {
    return WriteStrings({{std::string(section), std::string(key), std::string(value)}}) == 0;
}

int SettingsFile::WriteStrings(const std::vector<IniEntry>& entries) const {
    for (const IniEntry& entry : entries) {
        if (!IsWritableIniEntry(entry.section, entry.key, entry.value)) {
            return EINVAL;
        }
    }
    std::string utf8Path = Utf8FromAnsi(path_);
    bool missing = false;
    errno = 0;
    std::optional<std::string> text = ReadWholeFile(utf8Path, &missing);
    if (!text && !missing) {
        return errno != 0 ? errno : EIO;
    }
    std::string updated = text.value_or("");
    for (const IniEntry& entry : entries) {
        updated = SetIniValue(updated, entry.section, entry.key, entry.value);
    }
    if (text && updated == *text) {
        return 0;
    }
    return ReplaceFileContents(utf8Path, updated) ? 0 : (errno != 0 ? errno : EIO);
}

}  // namespace platform
