#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarvane::updater {

struct FetchResult {
    bool transferred = false;  // the transfer ran to its end without a transport or write error
    long status = 0;           // HTTP status of the response; 0 when none arrived
    bool Ok() const { return transferred && status == 200; }
};

// One HTTP GET. The body goes to `sink` block by block; a sink answering false stops the transfer,
// which then counts as failed.
class HttpFetcher {
public:
    virtual ~HttpFetcher() = default;
    virtual FetchResult Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) = 0;
};

}  // namespace tarvane::updater
