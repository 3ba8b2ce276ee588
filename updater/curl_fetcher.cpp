#include "updater/curl_fetcher.h"

#include <curl/curl.h>

namespace tarvane::updater {

namespace {

size_t WriteToSink(char* data, size_t size, size_t count, void* user) {
    const auto& sink = *static_cast<const std::function<bool(std::string_view)>*>(user);
    size_t bytes = size * count;
    return sink(std::string_view(data, bytes)) ? bytes : 0;
}

}  // namespace

FetchResult CurlFetcher::Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) {
    FetchResult result;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    CURL* handle = left.count() > 0 ? curl_easy_init() : nullptr;
    if (handle == nullptr) {
        return result;
    }
    curl_slist* headers = curl_slist_append(nullptr, "Connection: Close");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, WriteToSink);
    curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, limits_.connectSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits_.slowBytesPerSecond);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits_.slowSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    result.transferred = curl_easy_perform(handle) == CURLE_OK;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    return result;
}

}  // namespace tarvane::updater
