#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/quiet_process.h"
#include "bench/speed.h"

namespace bench {

// When a download passed 95 % and all of its bytes, from its count sampled while it runs.
class TailWatch {
public:
    explicit TailWatch(uint64_t size) : size_(size) {}

    void Sample(uint64_t bytes) {
        if (at95_ < 0 && bytes * 100 >= size_ * 95) {
            at95_ = Since(start_);
        }
        if (at100_ < 0 && at95_ >= 0 && bytes >= size_) {
            at100_ = Since(start_);
        }
    }

    // The speed of the last 5 % over the average of all the bytes; `seconds` is the whole run, taken
    // as the moment of the last byte when no sample saw it. 0 when the 95 % was never seen.
    double LastShare(double seconds) const {
        double end = at100_ < 0 ? seconds : at100_;
        return at95_ < 0 || end <= at95_ ? 0 : (0.05 / (end - at95_)) / (1.0 / end);
    }

private:
    uint64_t size_;
    SteadyClock::time_point start_ = SteadyClock::now();
    double at95_ = -1;
    double at100_ = -1;
};

struct DownloadTimes {
    double seconds = 0;    // to the finished file
    double lastShare = 0;  // speed of the last 5 % over the average
};

// A peer that fetches one file of `size` bytes, run to its end with its bytes watched: it must write
// what it receives at once (aria2c: --disk-cache=0).
inline DownloadTimes PeerDownload(std::vector<std::string> args, uint64_t size) {
    TailWatch watch(size);
    DownloadTimes times;
    times.seconds = RunWatched(std::move(args), [&](pid_t pid) { watch.Sample(BytesWritten(pid)); });
    times.lastShare = watch.LastShare(times.seconds);
    return times;
}

}  // namespace bench
