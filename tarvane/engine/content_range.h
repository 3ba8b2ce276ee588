#pragma once

#include <cstdint>
#include <optional>

namespace tarvane {

// The bytes a 206 answer says it carries: first to last (inclusive) of a file of `total` bytes.
struct ContentRange {
    int64_t first = 0;
    int64_t last = 0;
    int64_t total = 0;
};

// The Content-Range of the answer on a libcurl handle, when it is exactly "bytes first-last/total"
// and the body, where its length is announced, is just that long.
std::optional<ContentRange> AnsweredRange(void* curlHandle);

}  // namespace tarvane
