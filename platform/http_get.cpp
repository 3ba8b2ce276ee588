#include "platform/http_get.h"

#include "platform/curl_easy.h"

namespace platform {
namespace {

size_t WriteToSink(char* data, size_t size, size_t count, void* user) {
    const auto& sink = *static_cast<const std::function<bool(std::string_view)>*>(user);
    size_t bytes = size * count;
    return sink(std::string_view(data, bytes)) ? bytes : 0;
}

int StopCheck(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return (*static_cast<const std::function<bool()>*>(user))() ? 1 : 0;
}

}  // namespace

HttpGetResult HttpGet(const std::string& address, const std::function<bool(std::string_view)>& sink,
                      const HttpGetOptions& options) {
    HttpGetResult result;
    CurlEasy handle(curl_easy_init());
    if (!handle) {
        return result;
    }
    CURL* easy = handle.get();
    CurlList headers;
    AppendCurlList(headers, "Connection: Close");
    for (const std::string& header : options.headers) {
        AppendCurlList(headers, header.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToSink);
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    LimitToWeb(easy);
    if (options.stop) {
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, StopCheck);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &options.stop);
    }
    if (options.direct) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    }
    if (options.connectSeconds > 0) {
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, options.connectSeconds);
    }
    if (options.totalMilliseconds > 0) {
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, options.totalMilliseconds);
    }
    if (options.slowSeconds > 0) {
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, options.slowBytesPerSecond);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, options.slowSeconds);
    }
    result.transferred = curl_easy_perform(easy) == CURLE_OK;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
    return result;
}

}  // namespace platform
