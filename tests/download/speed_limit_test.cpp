#include <numeric>

#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

constexpr double kKiB = 1024;

// Three downloads, over one connection and over several, under one limit: together they stay under it, each
// gets a fair part of it, and a new limit or none reaches the running transfers at once.
TEST_F(DownloadTest, OneSpeedLimitHoldsForAllTasksTogetherAndFollowsEveryChange) {
    engine_->limiter.SetLimit(2048);
    std::vector<std::string> pages;
    // Two files large enough for several connections, each slower than its share; one small file over
    // one connection that could take more.
    const std::tuple<std::string, size_t, uint64_t> files[] = {
        {"a", 512, 24}, {"b", 512, 24}, {"single", 1024, 12}};  // KiB/s per connection, MiB
    for (const auto& [name, rate, size] : files) {
        site_.Add("/limited/" + name, {.bytesPerSecond = rate * 1024, .virtualSize = size * 1024 * 1024});
        pages.push_back(Add("/limited/" + name, name));
    }
    auto done = [&] {
        std::vector<double> bytes;
        for (TaskId id : engine_->book.Ids()) {
            auto task = engine_->book.Get(id);
            bytes.push_back(task ? static_cast<double>(task->done) : 0);
        }
        return bytes;
    };
    // What each task brought in `seconds`, after `settle` seconds for a change to take hold.
    auto window = [&](double settle, double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(settle));
        std::vector<double> before = done();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        std::vector<double> after = done();
        for (size_t i = 0; i < after.size() && i < before.size(); ++i) {
            after[i] -= before[i];
        }
        return after;
    };
    auto total = [](const std::vector<double>& bytes) { return std::accumulate(bytes.begin(), bytes.end(), 0.0); };
    ASSERT_TRUE(WaitFor([&] { return std::ranges::all_of(done(), [](double d) { return d > 0; }); }));

    std::vector<double> limited = window(2, 4);
    ASSERT_EQ(limited.size(), 3u);
    EXPECT_LE(total(limited), 1.3 * 2048 * kKiB * 4);
    EXPECT_GE(total(limited), 0.5 * 2048 * kKiB * 4);
    for (double part : limited) {
        EXPECT_GE(part, total(limited) / 6) << "less than half of an equal share";
    }
    engine_->limiter.SetLimit(512);
    EXPECT_LE(total(window(1, 4)), 1.3 * 512 * kKiB * 4);
    engine_->limiter.SetLimit(0);
    EXPECT_GE(total(window(1, 3)), 2 * 512 * kKiB * 3);
    ASSERT_TRUE(WaitCompleted(pages, 120s));
}

}  // namespace
}  // namespace tarvane::test
