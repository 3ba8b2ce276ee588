// Connections ask the limiter before each write against a clock set by hand: byte counts, no timing.
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tarvane/engine/speed_limiter.h"

namespace tarvane {
namespace {

// Nothing asks at first: the limiter must not hand out all it could have sent meanwhile.
constexpr std::int64_t kQuietStartMs = 2000;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

class FakeClock : public Clock {
public:
    double NowMs() const override { return static_cast<double>(now.load()); }
    std::atomic<std::int64_t> now = 0;
};

struct Flow {
    std::size_t chunk;      // bytes of each write
    double serverKBps = 0;  // what its server gives; 0 = as much as allowed
    std::int64_t quitMs = kNever;
};

struct Grant {
    std::int64_t atMs;
    std::size_t bytes;
    std::size_t flow;
};

// Connections ask in turn at each moment one of them waits for, in an order that changes.
class Simulation {
public:
    Simulation(std::vector<Flow> flows, std::int64_t kbps) : flows_(std::move(flows)), limiter_(clock_, kbps) {}

    // Runs until `endMs`; `changes` are (time, new limit), in order.
    void Run(std::int64_t endMs, std::vector<std::pair<std::int64_t, std::int64_t>> changes) {
        std::vector<SpeedLimiter::ConsumerId> ids;
        std::vector<std::int64_t> wake(flows_.size(), kQuietStartMs);
        for (std::size_t i = 0; i < flows_.size(); ++i) {
            ids.push_back(limiter_.Join());
        }
        std::mt19937 random(3);
        std::vector<std::size_t> order(flows_.size());
        std::iota(order.begin(), order.end(), 0);
        while (clock_.now < endMs) {
            std::shuffle(order.begin(), order.end(), random);
            for (std::size_t i : order) {
                for (std::int64_t now = clock_.now; wake[i] <= now;) {
                    const Flow& flow = flows_[i];
                    double wait = limiter_.Ask(ids[i], flow.chunk);
                    if (wait > 0) {
                        // One that has gone quiet never comes back, not even to leave.
                        wake[i] = now >= flow.quitMs ? kNever : now + static_cast<std::int64_t>(std::ceil(wait));
                    } else {
                        grants_.push_back({now, flow.chunk, i});
                        double serverMs =
                            flow.serverKBps > 0 ? static_cast<double>(flow.chunk) / (flow.serverKBps * 1.024) : 0;
                        wake[i] = now + static_cast<std::int64_t>(std::ceil(serverMs));
                    }
                }
            }
            std::int64_t next = *std::min_element(wake.begin(), wake.end());
            if (!changes.empty() && changes.front().first <= next) {
                clock_.now = changes.front().first;
                limiter_.SetLimit(changes.front().second);
                changes.erase(changes.begin());
            }
            clock_.now = std::min(next, endMs);
        }
    }

    // Bytes of one flow (or all) counted in [fromMs, toMs).
    double KB(std::int64_t fromMs, std::int64_t toMs, std::size_t flow = SIZE_MAX) const {
        double bytes = 0;
        for (const Grant& grant : grants_) {
            if (grant.atMs >= fromMs && grant.atMs < toMs && (flow == SIZE_MAX || grant.flow == flow)) {
                bytes += static_cast<double>(grant.bytes);
            }
        }
        return bytes / 1024;
    }
    SpeedLimiter& limiter() { return limiter_; }

private:
    FakeClock clock_;
    std::vector<Flow> flows_;
    SpeedLimiter limiter_;
    std::vector<Grant> grants_;
};

TEST(SpeedLimiter, HoldsTheLimitAcrossAChangeAndSharesItOutEvenly) {
    // Big and small writes that take all they can, two slow servers, one that goes away mid-turn.
    std::vector<Flow> flows = {{16384}, {16384}, {16384},     {16384},     {1024},           {1024},
                               {1024},  {1024},  {16384, 20}, {16384, 20}, {1024, 0, 10'000}};
    Simulation sim(flows, 1000);
    sim.Run(36'000, {{20'000, 300}});

    for (std::int64_t from = 0; from + 10'000 <= 36'000; from += 250) {
        double limit = from + 10'000 <= 20'000 ? 1000 : from >= 21'000 ? 300 : 1000;
        EXPECT_LE(sim.KB(from, from + 10'000), limit * 10 * 1.05) << "window from " << from;
    }
    struct Phase {
        std::int64_t from, to, limit;
    };
    for (const Phase& phase : {Phase{11'000, 20'000, 1000}, Phase{22'000, 36'000, 300}}) {
        double seconds = static_cast<double>(phase.to - phase.from) / 1000;
        EXPECT_GE(sim.KB(phase.from, phase.to), static_cast<double>(phase.limit) * seconds * 0.95) << phase.from;
        for (std::size_t i = 0; i < 10; ++i) {
            double equalShare = static_cast<double>(phase.limit) / 10 * seconds;
            double wanted = flows[i].serverKBps > 0 ? std::min(flows[i].serverKBps * seconds, equalShare) : equalShare;
            EXPECT_GE(sim.KB(phase.from, phase.to, i), wanted * 0.5) << "flow " << i << " from " << phase.from;
        }
    }
    sim.limiter().SetLimit(0);
    EXPECT_EQ(sim.limiter().Ask(sim.limiter().Join(), 1 << 20), 0);
    EXPECT_EQ(sim.limiter().Limit(), 0);
}

TEST(SpeedLimiter, ConnectionsOnManyThreadsTogetherStayWithinTheLimit) {
    FakeClock clock;
    SpeedLimiter limiter(clock, 100);
    std::atomic<std::int64_t> granted = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            SpeedLimiter::ConsumerId id = limiter.Join();
            while (clock.now < 2000) {
                if (limiter.Ask(id, 4096) == 0) {
                    granted += 4096;
                }
                std::this_thread::yield();
            }
            limiter.Leave(id);
        });
    }
    for (std::int64_t ms = 1; ms <= 2000; ++ms) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        clock.now = ms;
        if (ms == 1000) {
            limiter.SetLimit(50);
        }
    }
    for (auto& thread : threads) {
        thread.join();
    }
    // 1 s at 100 KB/s, 1 s at 50, what may go at once after the start, and one write over.
    EXPECT_LE(granted.load(), 100 * 1024 + 50 * 1024 + 10 * 1024 + 4096);
}

}  // namespace
}  // namespace tarvane
