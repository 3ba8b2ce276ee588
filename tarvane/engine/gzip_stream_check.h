#pragma once

#include <cstddef>
#include <memory>

namespace tarvane {

// Inflates a gzip file as its bytes come, only to see each member's CRC and length check out:
// the archive reader stops at the end of a tar and never reaches the trailer that holds them.
class GzipStreamCheck {
public:
    GzipStreamCheck();
    ~GzipStreamCheck();
    GzipStreamCheck(const GzipStreamCheck&) = delete;
    GzipStreamCheck& operator=(const GzipStreamCheck&) = delete;

    void Feed(const void* bytes, std::size_t size);
    // After the last byte: every member whole and its trailer matching.
    bool Passed() const;

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
};

}  // namespace tarvane
