#include "platform/desktop_folder.h"

#include <filesystem>
#include <optional>

#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "platform/xdg_folders.h"

namespace platform {
namespace {

// The value of a shell assignment: a double-quoted text with backslash escapes, or the bare rest.
std::string ShellValue(std::string_view text) {
    if (text.empty() || text.front() != '"') {
        std::size_t end = text.find_last_not_of(" \t\r");
        return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
    }
    std::string value;
    for (std::size_t pos = 1; pos < text.size() && text[pos] != '"'; ++pos) {
        if (text[pos] == '\\' && pos + 1 < text.size()) {
            ++pos;
        }
        value += text[pos];
    }
    return value;
}

// A folder named in user-dirs.dirs (`kName` is "XDG_..._DIR="), as a UTF-8 path; the last
// assignment counts.
std::optional<std::string> FolderFromUserDirs(std::string_view home, std::string_view configHome,
                                              std::string_view kName) {
    std::optional<std::string> text = ReadWholeFile(std::string(configHome) + "/user-dirs.dirs");
    if (!text) {
        return std::nullopt;
    }
    std::optional<std::string> folder;
    std::string_view rest(*text);
    while (!rest.empty()) {
        std::size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line.compare(start, kName.size(), kName) != 0) {
            continue;
        }
        std::string value = ShellValue(line.substr(start + kName.size()));
        if (value == "$HOME" || value.starts_with("$HOME/")) {
            folder = std::string(home) + value.substr(5);
        } else if (value.starts_with("/")) {
            folder = value;
        }
    }
    return folder;
}

// The folder of `name` in user-dirs.dirs, else `fallback` in the home folder; UTF-8, no trailing "/".
std::string UserFolder(std::string_view home, std::string_view configHome, std::string_view name,
                       std::string_view fallback) {
    std::string folder =
        FolderFromUserDirs(home, configHome, name).value_or(std::string(home) + "/" + std::string(fallback));
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

bool MadeFolder(const std::string& utf8) {
    std::error_code error;
    std::filesystem::create_directories(utf8, error);
    return std::filesystem::is_directory(utf8, error);
}

}  // namespace

std::string DesktopFolderFor(std::string_view home, std::string_view configHome) {
    return AnsiFromUtf8(UserFolder(home, configHome, "XDG_DESKTOP_DIR=", "Desktop"));
}

std::string DesktopFolder() {
    return DesktopFolderFor(HomeFolder(), XdgFolder("XDG_CONFIG_HOME", "/.config"));
}

DefaultFolder EnsureDefaultFolderFor(std::string_view home, std::string_view configHome) {
    std::string desktop = UserFolder(home, configHome, "XDG_DESKTOP_DIR=", "Desktop");
    std::error_code error;
    if (std::filesystem::is_directory(desktop, error)) {
        return {AnsiFromUtf8(desktop), FolderState::Existing};
    }
    if (MadeFolder(desktop)) {
        return {AnsiFromUtf8(desktop), FolderState::Created};
    }
    std::string downloads = UserFolder(home, configHome, "XDG_DOWNLOAD_DIR=", "Downloads");
    if (MadeFolder(downloads)) {
        return {AnsiFromUtf8(downloads), FolderState::FellBack};
    }
    return {AnsiFromUtf8(desktop), FolderState::Unavailable};
}

DefaultFolder EnsureDefaultFolder() {
    return EnsureDefaultFolderFor(HomeFolder(), XdgFolder("XDG_CONFIG_HOME", "/.config"));
}

}  // namespace platform
