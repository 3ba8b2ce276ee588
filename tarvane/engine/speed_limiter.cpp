#include "tarvane/engine/speed_limiter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvane {

namespace {

// What may go at once after a quiet moment: enough to cover a connection's late return, small
// against 10 s.
constexpr double kBurstMs = 100;
// How far one connection may run ahead of one that waits at least; more than one write.
constexpr double kMinLeadBytes = 32 * 1024;
// A connection that has not asked for this long is idle (or gone without leaving): it neither
// holds the others back nor keeps its place.
constexpr double kIdleMs = 1000;

}  // namespace

SpeedLimiter::SpeedLimiter(const Clock& clock, std::int64_t kbPerSecond) : clock_(clock) {
    SetLimit(kbPerSecond);
}

void SpeedLimiter::SetLimit(std::int64_t kbPerSecond) {
    std::lock_guard lock(mutex_);
    double now = clock_.NowMs();
    Refill(now);
    bool wasUnlimited = bytesPerMs_ == 0;
    bytesPerMs_ = kbPerSecond > 0 ? static_cast<double>(kbPerSecond) * 1024 / 1000 : 0;
    if (wasUnlimited) {
        tokens_ = 0;  // what went before the limit was not counted
    }
    tokens_ = std::min(tokens_, bytesPerMs_ * kBurstMs);
    lastRefillMs_ = now;
}

std::int64_t SpeedLimiter::Limit() const {
    std::lock_guard lock(mutex_);
    return std::llround(bytesPerMs_ * 1000 / 1024);
}

SpeedLimiter::ConsumerId SpeedLimiter::Join() {
    std::lock_guard lock(mutex_);
    consumers_.emplace(nextId_, Consumer{});
    return nextId_++;
}

void SpeedLimiter::Leave(ConsumerId id) {
    std::lock_guard lock(mutex_);
    consumers_.erase(id);
}

void SpeedLimiter::Refill(double now) {
    if (now > lastRefillMs_) {
        tokens_ = std::min(tokens_ + (now - lastRefillMs_) * bytesPerMs_, bytesPerMs_ * kBurstMs);
        lastRefillMs_ = now;
    }
}

double SpeedLimiter::Ask(ConsumerId id, std::size_t bytes) {
    std::lock_guard lock(mutex_);
    auto found = consumers_.find(id);
    if (bytesPerMs_ == 0 || found == consumers_.end()) {
        return 0;
    }
    double now = clock_.NowMs();
    Refill(now);
    Consumer& self = found->second;
    int active = 1;
    double mostServed = 0;
    double leastWaiting = std::numeric_limits<double>::infinity();
    for (const auto& [otherId, other] : consumers_) {
        if (otherId == id || now - other.lastAskMs > kIdleMs) {
            continue;
        }
        ++active;
        mostServed = std::max(mostServed, other.served);
        if (other.waiting) {
            leastWaiting = std::min(leastWaiting, other.served);
        }
    }
    // Small against each one's share, so many connections still get even parts.
    double lead = std::max(kMinLeadBytes, bytesPerMs_ * kBurstMs / active);
    // A connection that was idle or slow keeps no credit beyond one lead: it goes first, not for long.
    self.served = std::max(self.served, mostServed - 2 * lead);
    self.lastAskMs = now;
    if (tokens_ > 0 && self.served <= leastWaiting + lead) {
        tokens_ -= static_cast<double>(bytes);
        self.served += static_cast<double>(bytes);
        self.waiting = false;
        return 0;
    }
    // Out of bytes: come back when there are some again. Otherwise a connection further behind is
    // waiting for its turn, which comes with its next question.
    double wait = tokens_ > 0 ? 1 : std::floor(-tokens_ / bytesPerMs_) + 1;
    wait = std::clamp(wait, 1.0, kMaxWaitMs);
    self.waiting = true;
    return wait;
}

long ReceiveBufferUnder(std::int64_t kbPerSecond, long unlimitedBytes) {
    if (kbPerSecond <= 0) {
        return unlimitedBytes;
    }
    // An eighth of a second of the whole limit; libcurl takes no less than 1 KiB.
    return static_cast<long>(std::clamp<std::int64_t>(kbPerSecond * 1024 / 8, 1024, unlimitedBytes));
}

int ConnectionsUnder(std::int64_t kbPerSecond, int limit) {
    limit = std::max(limit, 1);
    return kbPerSecond > 0 ? static_cast<int>(std::clamp<std::int64_t>(kbPerSecond / 16, 1, limit)) : limit;
}

}  // namespace tarvane
