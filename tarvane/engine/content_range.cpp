#include "tarvane/engine/content_range.h"

#include <curl/curl.h>

#include <cstdio>

namespace tarvane {

std::optional<ContentRange> AnsweredRange(void* curlHandle) {
    CURL* handle = static_cast<CURL*>(curlHandle);
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
        return std::nullopt;
    }
    long long first = -1, last = -1, total = -1;
    int consumed = 0;
    if (std::sscanf(header->value, " bytes %lld-%lld/%lld%n", &first, &last, &total, &consumed) != 3 ||
        header->value[consumed] != '\0') {
        return std::nullopt;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length >= 0 && length != last - first + 1) {
        return std::nullopt;
    }
    return ContentRange{first, last, total};
}

}  // namespace tarvane
