#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tarvane/engine/file_digest.h"
#include "tarvane/engine/gzip_stream_check.h"

namespace tarvane {

// The checks of a file's raw bytes (the server's digest, a gzip trailer), on a thread of their own
// beside the archive reader: blocks are copied in, in order, and checked while the reader goes on.
class WholeFileChecks {
public:
    WholeFileChecks(const ExpectedDigest& digest, bool gzip);
    ~WholeFileChecks();
    WholeFileChecks(const WholeFileChecks&) = delete;
    WholeFileChecks& operator=(const WholeFileChecks&) = delete;

    bool Active() const { return digest_.Active() || gzip_.has_value(); }
    void Feed(const unsigned char* bytes, std::size_t size);
    // After the last byte: waits for the blocks still queued.
    bool Passed();

private:
    void Work();
    void Finish();

    DigestMatcher digest_;
    std::optional<GzipStreamCheck> gzip_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<unsigned char>> queued_;
    std::vector<std::vector<unsigned char>> spare_;
    bool closed_ = false;
    std::thread worker_;
};

}  // namespace tarvane
