// The speed limiter alone on the real clock: connections on threads of their own, each taking all
// it is allowed in writes of 16 KiB, as 1 and as 20 tasks of 8 connections. Prints the most and the
// least that went in any 10 s against the limit, and the smallest connection's part of an equal share.
//   speed_limit_bench [KB/s] [seconds]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tarvane/engine/speed_limiter.h"

namespace {

constexpr int kSliceMs = 100;

void Run(int connections, std::int64_t kbps, int seconds) {
    tarvane::SystemClock clock;
    tarvane::SpeedLimiter limiter(clock, kbps);
    int slices = seconds * 1000 / kSliceMs;
    std::vector<std::atomic<std::int64_t>> total(static_cast<std::size_t>(slices));
    std::vector<std::int64_t> perConnection(static_cast<std::size_t>(connections));
    auto start = std::chrono::steady_clock::now();
    auto slice = [&] {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() /
            kSliceMs);
    };
    std::vector<std::thread> threads;
    for (int c = 0; c < connections; ++c) {
        threads.emplace_back([&, c] {
            auto id = limiter.Join();
            for (int now = slice(); now < slices; now = slice()) {
                double wait = limiter.Ask(id, 16384);
                if (wait > 0) {
                    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(wait));
                    continue;
                }
                total[static_cast<std::size_t>(now)] += 16384;
                if (now >= 20) {
                    perConnection[static_cast<std::size_t>(c)] += 16384;  // after the first 2 s
                }
            }
            limiter.Leave(id);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    double most = 0, least = 1e18;
    int window = 10'000 / kSliceMs;
    for (int from = 0; from + window <= slices; ++from) {
        double sum = 0;
        for (int s = from; s < from + window; ++s) {
            sum += static_cast<double>(total[static_cast<std::size_t>(s)]);
        }
        most = std::max(most, sum);
        least = std::min(least, sum);
    }
    double limit = static_cast<double>(kbps) * 1024 * 10;
    double equalShare = static_cast<double>(kbps) * 1024 * (seconds - 2) / connections;
    double smallest = static_cast<double>(*std::min_element(perConnection.begin(), perConnection.end()));
    std::printf(
        "%3d connections at %lld KB/s: any 10 s between %.3f and %.3f of the limit; smallest "
        "connection %.2f of an equal share\n",
        connections, static_cast<long long>(kbps), least / limit, most / limit, smallest / equalShare);
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t kbps = argc > 1 ? std::atoll(argv[1]) : 2048;
    int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    Run(8, kbps, seconds);
    Run(160, kbps, seconds);
}
