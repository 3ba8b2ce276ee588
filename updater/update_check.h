#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/process_start.h"
#include "updater/curl_fetcher.h"
#include "updater/http_fetch.h"

namespace tarvane::updater {

inline constexpr const char* kVersionFilePath = "/softUpdate/tarvane/newVerInfo.txt";
inline constexpr const char* kInstallerFileName = "updateZip";

enum class UpdateOutcome {
    NoVersionFile,     // unreachable, transport error, or not a 200 response
    Malformed,         // no "|||", or an address too long to take
    UpToDate,          // published version not greater than the installed one
    DownloadFailed,    // installer not fetched whole with status 200; nothing left on disk
    InstallerStarted,  // installer fetched and started
    StartFailed,       // installer fetched but could not be started
};

struct UpdaterSetup {
    std::string programDirectory;    // code page 936, ends in "/"
    std::string versionFileAddress;  // "http://" + official host + kVersionFilePath
    std::uint64_t maxInstallerBytes = std::uint64_t{1} << 30;
    std::size_t maxVersionBytes = 64 * 1024;  // a version file is one short line
    // Temporaries of an installer download this old were left by a killed updater: no updater runs
    // longer than its fetcher's overall limit.
    std::chrono::seconds staleTemporaryAge = CurlFetcher::Limits{}.total;
};

// "http://HOST" followed by the version file's path.
std::string VersionFileAddress(const std::string& officialHost);

// Key "Ver" of section "main" in the program directory's config.ini, 1 when missing.
std::uint32_t InstalledVersion(const std::string& programDirectory);

// The whole check: compare the installed version with the published one and, when the published one
// is greater, fetch the installer into the program directory and start it with no arguments.
UpdateOutcome RunUpdateCheck(const UpdaterSetup& setup, HttpFetcher& fetcher, platform::ProcessStarter& starter);

}  // namespace tarvane::updater
