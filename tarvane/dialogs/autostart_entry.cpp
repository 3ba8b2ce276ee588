#include "tarvane/dialogs/autostart_entry.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/desktop_entry.h"
#include "platform/file_replace.h"
#include "platform/program_dir.h"
#include "platform/xdg_folders.h"

namespace tarvane {

XdgAutostart::XdgAutostart(std::string autostartFolder, std::string executablePath)
    : folder_(std::move(autostartFolder)), executable_(std::move(executablePath)) {}

XdgAutostart XdgAutostart::ForCurrentUser() {
    std::string configHome = platform::XdgFolder("XDG_CONFIG_HOME", "/.config");
    return XdgAutostart(configHome.empty() ? std::string() : configHome + "/autostart", platform::ExecutablePath());
}

std::string XdgAutostart::EntryPath() const {
    return folder_ + "/Orkaset.desktop";
}

std::string XdgAutostart::EntryText() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Orkaset\n"
           "Exec=" +
           platform::QuotedExecArgument(executable_) +
           " -hide\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool XdgAutostart::Add() {
    if (folder_.empty() || executable_.empty() || executable_.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        return false;
    }
    // A whole new file replaces the old one, so a failed write leaves no broken entry behind.
    std::string text = EntryText();
    platform::ReplaceOptions options;
    options.temporaryTemplate = EntryPath() + ".XXXXXX";
    options.mode = 0644;
    options.syncFolder = false;
    return platform::ReplaceFile(
               EntryPath(), [&text](int fd) { return platform::WriteAll(fd, text); }, options) == 0;
}

bool XdgAutostart::Remove() {
    if (folder_.empty()) {
        return false;
    }
    return ::unlink(EntryPath().c_str()) == 0 || errno == ENOENT;
}

}  // namespace tarvane
