#pragma once

#include <chrono>

#include "updater/http_fetch.h"

namespace tarvane::updater {

// Plain GET through libcurl with "Connection: Close", over http and https only: an address of another
// scheme (file, ftp, ...) is never fetched and so never started as an installer. No redirects.
// A server that stops sending or trickles fails the transfer after a while, and all fetches of one
// fetcher share one deadline, so the updater never stays running.
class CurlFetcher : public HttpFetcher {
public:
    struct Limits {
        long connectSeconds = 30;
        long slowSeconds = 60;  // a transfer slower than slowBytesPerSecond this long ends
        long slowBytesPerSecond = 1024;
        std::chrono::seconds total{30 * 60};  // for every fetch together, from the fetcher's creation
    };

    CurlFetcher() : CurlFetcher(Limits{}) {}
    explicit CurlFetcher(Limits limits) : limits_(limits), deadline_(std::chrono::steady_clock::now() + limits.total) {}

    FetchResult Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) override;

private:
    Limits limits_;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace tarvane::updater
