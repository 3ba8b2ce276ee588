#include "updater/installer_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

bool DownloadInstaller(HttpFetcher& fetcher, const std::string& address, const std::string& installerPath,
                       std::uint64_t maxBytes) {
    std::string target = platform::Utf8FromAnsi(installerPath);
    // The old installer goes whatever happens: it belongs to an update that is over.
    std::remove(target.c_str());

    std::vector<char> temporary = TemporaryTemplate(target);
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::uint64_t received = 0;
    FetchResult result = fetcher.Fetch(address, [fd, maxBytes, &received](std::string_view block) {
        received += block.size();
        return received <= maxBytes && WriteAll(fd, block);
    });
    // An error page is no installer, and neither is a cut-off body.
    bool ok = result.Ok() && ::fchmod(fd, S_IRWXU) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.data(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.data());
    }
    return ok;
}

void RemoveStaleTemporaries(const std::string& installerPath, std::chrono::seconds age) {
    std::filesystem::path target(platform::Utf8FromAnsi(installerPath));
    std::string prefix = "." + target.filename().string() + ".";
    std::error_code error;
    auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), error)) {
        std::string name = entry.path().filename().string();
        // mkostemp's six characters after the prefix.
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) || !entry.is_regular_file(error)) {
            continue;
        }
        auto changed = entry.last_write_time(error);
        if (!error && now - changed >= age) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

}  // namespace tarvane::updater
