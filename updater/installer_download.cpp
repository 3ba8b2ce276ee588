#include "updater/installer_download.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/file_replace.h"

namespace tarvane::updater {

bool DownloadInstaller(HttpFetcher& fetcher, const std::string& address, const std::string& installerPath,
                       std::uint64_t maxBytes) {
    std::string target = platform::Utf8FromAnsi(installerPath);
    // The old installer goes whatever happens: it belongs to an update that is over.
    std::remove(target.c_str());

    std::uint64_t received = 0;
    // An error page is no installer, and neither is a cut-off body.
    auto fill = [&](int fd) {
        FetchResult result = fetcher.Fetch(address, [fd, maxBytes, &received](std::string_view block) {
            received += block.size();
            return received <= maxBytes && platform::WriteAll(fd, block);
        });
        return result.Ok();
    };
    // Hidden, and in the same folder so the rename cannot cross file systems.
    platform::ReplaceOptions options;
    options.mode = S_IRWXU;
    options.syncFolder = false;
    return platform::ReplaceFile(target, fill, options) == 0;
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
