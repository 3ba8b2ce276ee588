#pragma once

#include <curl/curl.h>

#include <memory>

namespace platform {

struct CurlEasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// A curl easy handle and a header list, released when they go out of scope.
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;

// Only http and https are fetched, also where a redirect points: a link from outside never makes a
// handle speak file, gopher, dict or another protocol to a local service.
inline void LimitToWeb(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

// Adds a line to a header list; the list stays as it was when curl cannot.
inline void AppendCurlList(CurlList& list, const char* line) {
    if (curl_slist* longer = curl_slist_append(list.get(), line)) {
        (void)list.release();
        list.reset(longer);
    }
}

}  // namespace platform
