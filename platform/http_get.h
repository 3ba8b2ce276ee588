#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct HttpGetOptions {
    std::vector<std::string> headers;  // sent besides "Connection: Close"
    bool direct = false;               // no proxy, whatever the environment names
    long connectSeconds = 0;           // 0: curl's own limits
    long totalMilliseconds = 0;
    long slowBytesPerSecond = 0;  // a transfer slower than this for slowSeconds ends
    long slowSeconds = 0;
    std::function<bool()> stop;  // when given, asked about once a second; true ends the request
};

struct HttpGetResult {
    bool transferred = false;  // the transfer ran to its end without a transport or write error
    long status = 0;           // HTTP status of the response; 0 when none arrived
};

// One HTTP or HTTPS GET without redirects. The body goes to `sink` block by block; a sink answering false stops
// the transfer, which then counts as failed.
HttpGetResult HttpGet(const std::string& address, const std::function<bool(std::string_view)>& sink,
                      const HttpGetOptions& options);

}  // namespace platform
