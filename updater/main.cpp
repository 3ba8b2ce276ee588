// The updater: no window, no arguments, no output. It checks the published version once, fetches and
// starts a newer installer when there is one, and exits.
#include <curl/curl.h>

#include "platform/process_start.h"
#include "platform/program_dir.h"
#include "platform/site_hosts.h"
#include "updater/curl_fetcher.h"
#include "updater/update_check.h"

int main() {
    std::string programDirectory = platform::ProgramDirectory();
    if (programDirectory.empty()) {
        return 0;
    }
    curl_global_init(CURL_GLOBAL_ALL);
    tarvane::updater::CurlFetcher fetcher;
    platform::SystemProcessStarter starter;
    tarvane::updater::RunUpdateCheck(
        {programDirectory, tarvane::updater::VersionFileAddress(platform::SiteHosts::FromEnvironment().official)},
        fetcher, starter);
    curl_global_cleanup();
    return 0;
}
