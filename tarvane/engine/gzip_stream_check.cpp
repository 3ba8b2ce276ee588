#include "tarvane/engine/gzip_stream_check.h"

#include <zlib.h>

namespace tarvane {

namespace {

constexpr int kGzipOnly = 16 + MAX_WBITS;

}  // namespace

struct GzipStreamCheck::Stream {
    z_stream z{};
    bool failed = false;
    bool inMember = false;  // a member was started and has not reached its trailer
    bool sawMember = false;
    bool trailing = false;  // bytes after the last member that are not another member: ignored
    unsigned char sink[1 << 16];
    Stream() { failed = inflateInit2(&z, kGzipOnly) != Z_OK; }
    ~Stream() { inflateEnd(&z); }
};

GzipStreamCheck::GzipStreamCheck() : stream_(std::make_unique<Stream>()) {}

GzipStreamCheck::~GzipStreamCheck() = default;

void GzipStreamCheck::Feed(const void* bytes, std::size_t size) {
    Stream& s = *stream_;
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (size > 0 && !s.failed && !s.trailing) {
        if (!s.inMember) {
            // Another member must begin with the magic; anything else is padding after the file.
            if (s.sawMember && next[0] != 0x1f) {
                s.trailing = true;
                return;
            }
            s.inMember = true;
            s.sawMember = true;
        }
        s.z.next_in = const_cast<unsigned char*>(next);
        s.z.avail_in = static_cast<uInt>(size < (1u << 30) ? size : (1u << 30));
        std::size_t offered = s.z.avail_in;
        int result = Z_OK;
        while (s.z.avail_in > 0 && result == Z_OK) {
            s.z.next_out = s.sink;
            s.z.avail_out = sizeof(s.sink);
            result = inflate(&s.z, Z_NO_FLUSH);
            if (result == Z_BUF_ERROR && s.z.avail_out > 0) {
                result = Z_OK;  // needs more input
                break;
            }
        }
        std::size_t used = offered - s.z.avail_in;
        next += used;
        size -= used;
        if (result == Z_STREAM_END) {
            s.inMember = false;
            s.failed = inflateReset(&s.z) != Z_OK;
        } else if (result != Z_OK) {
            s.failed = true;
        }
    }
}

bool GzipStreamCheck::Passed() const {
    return !stream_->failed && stream_->sawMember && !stream_->inMember;
}

}  // namespace tarvane
