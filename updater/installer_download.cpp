#include "updater/installer_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/codepage.h"

namespace tarvane::updater {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// "<folder>/.<name>.XXXXXX": hidden, and in the same folder so the rename cannot cross file systems.
std::vector<char> TemporaryTemplate(const std::string& utf8Path) {
    std::size_t slash = utf8Path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : utf8Path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? utf8Path : utf8Path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    return std::vector<char>(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
}

}  // namespace

bool DownloadInstaller(HttpFetcher& fetcher, const std::string& address, const std::string& installerPath) {
    std::string target = platform::Utf8FromAnsi(installerPath);
    // The old installer goes whatever happens: it belongs to an update that is over.
    std::remove(target.c_str());

    std::vector<char> temporary = TemporaryTemplate(target);
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    FetchResult result = fetcher.Fetch(address, [fd](std::string_view block) { return WriteAll(fd, block); });
    // An error page is no installer, and neither is a cut-off body.
    bool ok = result.Ok() && ::fchmod(fd, S_IRWXU) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.data(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.data());
    }
    return ok;
}

}  // namespace tarvane::updater
