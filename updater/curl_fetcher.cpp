#include "updater/curl_fetcher.h"

#include "platform/http_get.h"

namespace tarvane::updater {

FetchResult CurlFetcher::Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return {};
    }
    platform::HttpGetOptions options;
    options.connectSeconds = limits_.connectSeconds;
    options.totalMilliseconds = static_cast<long>(left.count());
    options.slowBytesPerSecond = limits_.slowBytesPerSecond;
    options.slowSeconds = limits_.slowSeconds;
    platform::HttpGetResult got = platform::HttpGet(address, sink, options);
    return {got.transferred, got.status};
}

}  // namespace tarvane::updater
