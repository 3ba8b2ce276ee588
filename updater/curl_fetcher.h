#pragma once

#include "updater/http_fetch.h"

namespace tarvane::updater {

// Plain GET through libcurl with "Connection: Close", over http and https only: an address of another
// scheme (file, ftp, ...) is never fetched and so never started as an installer. No redirects.
// A server that stops sending fails the transfer after a while, so the updater never stays running.
class CurlFetcher : public HttpFetcher {
public:
    struct Limits {
        long connectSeconds = 30;
        long stallSeconds = 60;  // no byte for this long ends the transfer
    };

    CurlFetcher() = default;
    explicit CurlFetcher(Limits limits) : limits_(limits) {}

    FetchResult Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) override;

private:
    Limits limits_;
};

}  // namespace tarvane::updater
