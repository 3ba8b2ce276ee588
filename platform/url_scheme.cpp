#include "platform/url_scheme.h"

#include <filesystem>
#include <sstream>

#include "platform/codepage.h"
#include "platform/desktop_entry.h"
#include "platform/file_replace.h"
#include "platform/settings_file.h"
#include "platform/xdg_folders.h"

namespace platform {

namespace {

constexpr char kDefaultsSection[] = "Default Applications";
constexpr char kSchemeMime[] = "x-scheme-handler/tarvane";

// The value of the first "Exec=" line of a desktop entry; empty when there is none.
std::string ExecLine(const std::string& entry) {
    std::istringstream lines(entry);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("Exec=", 0) == 0) {
            return line.substr(5);
        }
    }
    return "";
}

}  // namespace

UrlSchemeFolders UserUrlSchemeFolders() {
    return {XdgFolder("XDG_DATA_HOME", "/.local/share") + "/applications",
            XdgFolder("XDG_CONFIG_HOME", "/.config") + "/mimeapps.list"};
}

std::string UrlSchemeExec(const std::string& executable) {
    // Left bare when nothing in it needs quoting: xdg-open without a desktop environment takes the
    // first word of Exec as the program, quotes and all.
    if (executable.find_first_of(" \t\"'\\><~|&;$*?#()`%=") == std::string::npos) {
        return executable + " %u";
    }
    return QuotedExecArgument(executable) + " %u";
}

UrlSchemeResult RegisterUrlScheme(const std::string& executable, const UrlSchemeFolders& folders) {
    if (executable.empty() || executable.find_first_of("\r\n") != std::string::npos) {
        return UrlSchemeResult::Failed;
    }
    std::string entryPath = folders.applications + "/" + kUrlSchemeDesktopFile;
    std::string exec = UrlSchemeExec(executable);
    SettingsFile mimeapps(AnsiFromUtf8(folders.mimeappsList));
    bool isDefault =
        mimeapps.ReadString(kDefaultsSection, kSchemeMime, "", 1024) == std::string(kUrlSchemeDesktopFile) + ";";
    auto existing = ReadWholeFile(entryPath);
    if (existing && ExecLine(*existing) == exec && isDefault) {
        return UrlSchemeResult::AlreadyRegistered;
    }

    std::error_code error;
    std::filesystem::create_directories(folders.applications, error);
    std::filesystem::create_directories(std::filesystem::path(folders.mimeappsList).parent_path(), error);
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=tarvane\n"
        "Comment=Hands game page links to tarvane\n"
        "Exec=" +
        exec +
        "\n"
        "MimeType=x-scheme-handler/tarvane;\n"
        "NoDisplay=true\n"
        "Terminal=false\n";
    if (!ReplaceFileContents(entryPath, entry)) {
        return UrlSchemeResult::Failed;
    }
    if (!mimeapps.WriteString(kDefaultsSection, kSchemeMime, std::string(kUrlSchemeDesktopFile) + ";")) {
        return UrlSchemeResult::Failed;
    }
    return UrlSchemeResult::Written;
}

}  // namespace platform
