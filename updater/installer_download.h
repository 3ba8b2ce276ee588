#pragma once

#include <string>

#include "updater/http_fetch.h"

namespace tarvane::updater {

// Fetches the installer at `address` into `installerPath` (code page 936) and makes it executable
// by its user. The body goes to a temporary file beside it that is renamed into place only after a
// whole response with status 200 arrived; otherwise nothing is left behind, not even an older
// installer of that name.
bool DownloadInstaller(HttpFetcher& fetcher, const std::string& address, const std::string& installerPath);

}  // namespace tarvane::updater
