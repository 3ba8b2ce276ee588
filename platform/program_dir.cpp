#include "platform/program_dir.h"

#include <unistd.h>

#include <vector>

#include "platform/codepage.h"

namespace platform {

std::string ProgramDirectoryOf(std::string_view utf8ExecutablePath) {
    std::size_t slash = utf8ExecutablePath.rfind('/');
    if (slash == std::string_view::npos) {
        return "";
    }
    return AnsiFromUtf8(utf8ExecutablePath.substr(0, slash + 1));
}

std::string ExecutablePath() {
    // The link's length is not known in advance; grow until the whole target fits.
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return "";
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramDirectory() {
    std::string executable = ExecutablePath();
    return executable.empty() ? "" : ProgramDirectoryOf(executable);
}

}  // namespace platform
