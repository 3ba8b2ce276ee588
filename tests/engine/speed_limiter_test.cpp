// Connections ask the limiter before each write, and the host budget before each connection, against a
// clock set by hand: byte and connection counts, no timing.
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tarvane/engine/host_budget.h"
#include "tarvane/engine/speed_limiter.h"

namespace tarvane {
namespace {

class FakeClock : public Clock {
public:
    double NowMs() const override { return static_cast<double>(now.load()); }
    std::atomic<std::int64_t> now = 0;
};

struct Flow {
    std::size_t chunk;      // bytes of each write
    double serverKBps = 0;  // what its server gives; 0 = all it is allowed
    std::int64_t quitMs = INT64_MAX;
};

TEST(SpeedLimiter, HoldsTheLimitAcrossAChangeAndSharesItOutEvenly) {
    // Big and small writes that take all they can, two slow servers, one that goes away mid-turn.
    const std::vector<Flow> flows = {{16384}, {16384}, {16384},     {16384},     {1024},           {1024},
                                     {1024},  {1024},  {16384, 20}, {16384, 20}, {1024, 0, 10'000}};
    FakeClock clock;
    SpeedLimiter limiter(clock, 1000);
    std::vector<SpeedLimiter::ConsumerId> ids(flows.size());
    std::generate(ids.begin(), ids.end(), [&] { return limiter.Join(); });
    // Nothing asks for 2 s at first: that must not be handed out later.
    std::vector<std::int64_t> wake(flows.size(), 2000);
    // Bytes counted in each second, of each flow and (last row) of all.
    std::vector<std::vector<double>> bytes(flows.size() + 1, std::vector<double>(36));
    std::vector<std::size_t> order(flows.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 random(3);
    while (clock.now < 36'000) {
        std::shuffle(order.begin(), order.end(), random);  // who asks first at one moment varies
        for (std::size_t i : order) {
            for (std::int64_t now = clock.now; wake[i] <= now;) {
                double wait = limiter.Ask(ids[i], flows[i].chunk);
                if (wait > 0) {
                    wake[i] = now >= flows[i].quitMs ? INT64_MAX : now + static_cast<std::int64_t>(std::ceil(wait));
                } else {
                    bytes[i][now / 1000] += flows[i].chunk;
                    bytes.back()[now / 1000] += flows[i].chunk;
                    double serverMs = flows[i].serverKBps > 0 ? flows[i].chunk / (flows[i].serverKBps * 1.024) : 0;
                    wake[i] = now + static_cast<std::int64_t>(std::ceil(serverMs));
                }
            }
        }
        std::int64_t next = *std::min_element(wake.begin(), wake.end());
        if (clock.now < 20'000 && next >= 20'000) {
            clock.now = 20'000;
            limiter.SetLimit(300);
        }
        clock.now = std::min<std::int64_t>(next, 36'000);
    }
    auto kb = [&](int from, int to, std::size_t row) {
        return std::accumulate(&bytes[row][from], &bytes[row][to], 0.0) / 1024;
    };
    for (int from = 0; from + 10 <= 36; ++from) {
        int before = std::clamp(21 - from, 0, 10);  // seconds at 1000, that of the change included
        EXPECT_LE(kb(from, from + 10, flows.size()), (1000.0 * before + 300.0 * (10 - before)) * 1.05) << from;
    }
    for (auto [from, to, limit] : {std::tuple{11, 20, 1000}, std::tuple{22, 36, 300}}) {
        EXPECT_GE(kb(from, to, flows.size()), limit * (to - from) * 0.95) << from;
        for (std::size_t i = 0; i < 10; ++i) {
            double equalShare = limit / 10.0, can = flows[i].serverKBps > 0 ? flows[i].serverKBps : equalShare;
            EXPECT_GE(kb(from, to, i), std::min(can, equalShare) * (to - from) * 0.5)
                << "flow " << i << " from " << from;
        }
    }
    limiter.SetLimit(0);
    EXPECT_EQ(limiter.Ask(ids[0], 1 << 20), 0);
}

TEST(SpeedLimiter, ConnectionsOnManyThreadsTogetherTakeNoMoreThanThereIs) {
    FakeClock clock;
    SpeedLimiter limiter(clock, 100);
    clock.now = 5000;  // after a quiet while only 0.1 s of the limit may go at once
    std::atomic<std::int64_t> granted = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            SpeedLimiter::ConsumerId id = limiter.Join();
            for (int i = 0; i < 2000; ++i) {
                granted += limiter.Ask(id, 1024) == 0 ? 1024 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_GE(granted.load(), 10 * 1024);
    EXPECT_LE(granted.load(), 11 * 1024);
}

// Tasks that each want `wants` connections from one host, stepped 50 ms at a time: every step, a task
// gives back what the budget asks for, then takes what it may.
struct HostTasks {
    FakeClock clock;
    HostBudget budget{clock, 16};
    std::vector<std::unique_ptr<HostShare>> shares;
    std::vector<int> held, wants;
    int peak = 0;

    void Join(int want, const std::string& host = "mirror:80") {
        shares.push_back(std::make_unique<HostShare>(&budget, host));
        held.push_back(0);
        wants.push_back(want);
    }
    void Run(int steps, const std::function<void(size_t)>& seen = {}) {
        for (int step = 0; step < steps; ++step) {
            clock.now += 50;
            for (size_t task = 0; task < shares.size(); ++task) {
                if (shares[task] && held[task] > 0 && shares[task]->ShouldGiveBack()) {
                    shares[task]->Give();
                    --held[task];
                }
                while (shares[task] && held[task] < wants[task] && shares[task]->TryTake()) {
                    ++held[task];
                }
                if (seen && held[task] > 0) {
                    seen(task);
                }
            }
            peak = std::max(peak, budget.Held("mirror:80"));
        }
    }
};

TEST(HostBudget, TasksOfOneHostShareItFairlyAndNoneWaitsForEver) {
    HostTasks tasks;
    tasks.Join(16);
    tasks.Run(5);
    EXPECT_EQ(tasks.held[0], 16);
    // Two more arrive: the first gives back down to its part, and all get theirs.
    tasks.Join(16);
    tasks.Join(16);
    tasks.Join(16, "other:80");
    tasks.Run(100);
    EXPECT_EQ(tasks.peak, 16);
    for (int task = 0; task < 3; ++task) {
        EXPECT_GE(tasks.held[task], 5) << task;
    }
    EXPECT_EQ(tasks.held[3], 16);  // another host has a budget of its own
    // One leaves: its connections go to the others.
    tasks.shares[0].reset();
    tasks.held[0] = 0;
    tasks.Run(100);
    EXPECT_EQ(tasks.held[1] + tasks.held[2], 16);
    EXPECT_GE(std::min(tasks.held[1], tasks.held[2]), 8);
    // A lower budget holds at once.
    tasks.budget.SetPerHost(4);
    tasks.Run(100);
    EXPECT_EQ(tasks.held[1] + tasks.held[2], 4);

    // Twenty tasks of one connection each and a budget of sixteen: never more, and every task moves.
    HostTasks many;
    for (int task = 0; task < 20; ++task) {
        many.Join(1);
    }
    std::vector<bool> moved(20);
    many.Run(static_cast<int>(3 * HostBudget::kTurnMs / 50), [&](size_t task) { moved[task] = true; });
    EXPECT_EQ(many.peak, 16);
    EXPECT_EQ(std::count(moved.begin(), moved.end(), true), 20);
}

}  // namespace
}  // namespace tarvane
