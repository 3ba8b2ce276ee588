#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "updater/http_fetch.h"

namespace tarvane::updater {

// Fetches the installer at `address` into `installerPath` (code page 936) and makes it executable
// by its user. The body goes to a temporary file beside it that is renamed into place only after a
// whole response with status 200 arrived; otherwise nothing is left behind, not even an older
// installer of that name. A body longer than `maxBytes` is no installer either.
bool DownloadInstaller(HttpFetcher& fetcher, const std::string& address, const std::string& installerPath,
                       std::uint64_t maxBytes);

// Removes the temporaries that DownloadInstaller leaves beside `installerPath` when it is killed,
// those last changed `age` ago or earlier (younger ones may belong to an updater still running).
void RemoveStaleTemporaries(const std::string& installerPath, std::chrono::seconds age);

}  // namespace tarvane::updater
