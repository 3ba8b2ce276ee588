#pragma once

#include <archive.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace tarvane {

// The parts of an archive as one stream for libarchive's reader, with a stop flag and the progress
// of the bytes read. Small reads after a seek, growing while the reader goes on in order, so that
// hopping between the headers of many small entries does not read megabytes each time.
class PartsSource {
public:
    using Progress = std::function<void(std::int64_t read, std::int64_t total)>;

    PartsSource(const std::atomic<bool>& stop, Progress progress);

    // False when a part cannot be opened.
    bool Open(const std::vector<std::string>& utf8Paths);
    std::int64_t size() const { return size_; }
    bool stopped() const { return stop_.load(std::memory_order_relaxed); }
    // Back to the start, for a second pass; a pass that only looks at headers is no progress.
    void Rewind(bool report) { position_ = 0, readSoFar_ = 0, chunk_ = kSmallest, report_ = report; }

    // Hands the source to the reader (not opened yet).
    void Attach(archive* a);

private:
    static constexpr std::size_t kSmallest = 4 << 10;
    static constexpr std::size_t kLargest = 1 << 20;

    la_ssize_t Read(const void** block);
    la_int64_t Seek(la_int64_t offset, int whence);

    const std::atomic<bool>& stop_;
    Progress progress_;
    std::vector<platform::UniqueFd> fds_;
    std::vector<std::int64_t> starts_;  // each part's first byte in the stream, then the stream's end
    std::vector<unsigned char> buffer_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    std::int64_t readSoFar_ = 0;
    std::size_t chunk_ = kSmallest;
    bool report_ = true;
};

}  // namespace tarvane
