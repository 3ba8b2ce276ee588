#include "tarvane/dialogs/autostart_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarvane {

namespace {

bool WriteAll(int descriptor, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::string QuotedExecArgument(const std::string& argument) {
    // Inside the quotes '"', '`', '$' and '\' take a backslash; the value's own escaping then
    // doubles every backslash, and '%' stands for a field code unless doubled.
    std::string quoted = "\"";
    for (char c : argument) {
        switch (c) {
            case '"':
            case '`':
            case '$':
                quoted += "\\\\";
                quoted += c;
                break;
            case '\\':
                quoted += "\\\\\\\\";
                break;
            case '%':
                quoted += "%%";
                break;
            default:
                quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

XdgAutostart::XdgAutostart(std::string autostartFolder, std::string executablePath)
    : folder_(std::move(autostartFolder)), executable_(std::move(executablePath)) {}

XdgAutostart XdgAutostart::ForCurrentUser() {
    std::string configHome;
    if (const char* value = std::getenv("XDG_CONFIG_HOME"); value != nullptr && value[0] == '/') {
        configHome = value;
    } else if (const char* home = std::getenv("HOME"); home != nullptr) {
        configHome = std::string(home) + "/.config";
    }
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return XdgAutostart(configHome.empty() ? std::string() : configHome + "/autostart",
                        error ? std::string() : executable.string());
}

std::string XdgAutostart::EntryPath() const {
    return folder_ + "/Orkaset.desktop";
}

std::string XdgAutostart::EntryText() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Orkaset\n"
           "Exec=" +
           QuotedExecArgument(executable_) +
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
    std::string temporary = EntryPath() + ".XXXXXX";
    int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        return false;
    }
    bool written = ::fchmod(descriptor, 0644) == 0 && WriteAll(descriptor, EntryText());
    written = ::close(descriptor) == 0 && written;
    if (!written || std::rename(temporary.c_str(), EntryPath().c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool XdgAutostart::Remove() {
    if (folder_.empty()) {
        return false;
    }
    return ::unlink(EntryPath().c_str()) == 0 || errno == ENOENT;
}

}  // namespace tarvane
