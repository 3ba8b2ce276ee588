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

// Adds a line to a header list; the list stays as it was when curl cannot.
inline void AppendCurlList(CurlList& list, const char* line) {
    if (curl_slist* longer = curl_slist_append(list.get(), line)) {
        (void)list.release();
        list.reset(longer);
    }
}

}  // namespace platform
