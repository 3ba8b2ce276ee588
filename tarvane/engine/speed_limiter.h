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

// A transfer's place at the limiter, from its start to its end. All connections of one task ask
// through the one share, so that tasks get equal parts whatever their number of connections.
class LimiterShare {
public:
    explicit LimiterShare(SpeedLimiter* limiter) : limiter_(limiter), id_(limiter != nullptr ? limiter->Join() : 0) {}
    ~LimiterShare() {
        if (limiter_ != nullptr) {
            limiter_->Leave(id_);
        }
    }
    LimiterShare(const LimiterShare&) = delete;
    LimiterShare& operator=(const LimiterShare&) = delete;

    // As SpeedLimiter::Ask: 0 when the bytes may be written now, else the milliseconds to wait.
    double Ask(std::size_t bytes) { return limiter_ != nullptr ? limiter_->Ask(id_, bytes) : 0; }
    std::int64_t Limit() const { return limiter_ != nullptr ? limiter_->Limit() : 0; }

private:
    SpeedLimiter* limiter_;
    SpeedLimiter::ConsumerId id_;
};

// The receive buffer of a connection under `kbPerSecond` (0: none): one write stays a fraction of a
// second of the limit, so the total does not overshoot by a large write.
long ReceiveBufferUnder(std::int64_t kbPerSecond, long unlimitedBytes);
// The connections a task may open under `kbPerSecond`: each gets at least about 16 KB/s, so that a
// throttled connection still brings data often.
int ConnectionsUnder(std::int64_t kbPerSecond, int limit);

}  // namespace tarvane
