#pragma once

#include "updater/http_fetch.h"

namespace tarvane::updater {

// Plain GET through libcurl with "Connection: Close", over http and https only: an address of another
// scheme (file, ftp, ...) is never fetched and so never started as an installer. No redirects.
class CurlFetcher : public HttpFetcher {
public:
    FetchResult Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) override;
};

}  // namespace tarvane::updater
