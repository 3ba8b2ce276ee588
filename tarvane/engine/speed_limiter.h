#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "tarvane/engine/clock.h"

namespace tarvane {

// One speed limit shared by every running connection of every task. A connection asks before it
// writes the bytes it received; the answer is either "now" (the bytes are counted) or how long to
// wait before asking again, which a multi loop can turn into CURL_WRITEFUNC_PAUSE and a later
// curl_easy_pause. Over any 10 s the total stays within the limit plus 0.1 s of it plus one write,
// and connections that want more than their share take turns so that each gets an equal part.
// Thread-safe.
class SpeedLimiter {
public:
    using ConsumerId = std::uint64_t;

    explicit SpeedLimiter(const Clock& clock, std::int64_t kbPerSecond = 0);

    // KB/s (1 KB = 1024 bytes); 0 = no limit. Takes effect at the next question of each connection,
    // which is never more than kMaxWaitMs away.
    void SetLimit(std::int64_t kbPerSecond);
    std::int64_t Limit() const;

    // A connection takes a share while it transfers and gives it back when it ends.
    ConsumerId Join();
    void Leave(ConsumerId id);

    // 0 when `bytes` may be written now (they are counted); otherwise the milliseconds to wait before
    // asking again with the same bytes.
    double Ask(ConsumerId id, std::size_t bytes);

    static constexpr double kMaxWaitMs = 250;

private:
    struct Consumer {
        double served = 0;  // bytes counted, moved forward so that idling banks no credit
        double lastAskMs = -1e18;
        bool waiting = false;  // refused at its last question
    };

    void Refill(double now);

    const Clock& clock_;
    mutable std::mutex mutex_;
    double bytesPerMs_ = 0;  // 0 = no limit
    double tokens_ = 0;      // bytes that may go now; below 0 after a write larger than what was left
    double lastRefillMs_ = 0;
    ConsumerId nextId_ = 1;
    std::unordered_map<ConsumerId, Consumer> consumers_;
};

}  // namespace tarvane
