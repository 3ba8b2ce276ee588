#include <map>

#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

constexpr double kKiB = 1024;

// Three downloads, over one connection and over several, under one limit: together they stay under
// it, each gets a fair part of it, and a new limit or none reaches the running transfers at once.
TEST_F(DownloadTest, OneSpeedLimitHoldsForAllTasksTogetherAndFollowsEveryChange) {
    engine_->limiter.SetLimit(2048);
    std::vector<std::string> pages;
    // Two files large enough for several connections, each slower than its share and larger than what
    // the sockets hold when the limit goes; a small one.
    for (auto [name, kbps, mib] : {std::tuple{"a", 512u, 64u}, {"b", 512u, 64u}, {"single", 1024u, 12u}}) {
        site_.Add(std::string("/limited/") + name,
                  {.etag = "\"l\"", .bytesPerSecond = kbps * 1024, .virtualSize = mib * 1024 * 1024});
        pages.push_back(Add(std::string("/limited/") + name, name));
    }
    auto done = [&] {
        std::map<TaskId, double> bytes;
        for (TaskId id : engine_->book.Ids()) {
            bytes[id] = static_cast<double>(engine_->book.Get(id).value_or(TaskEntry{}).done);
        }
        return bytes;
    };
    // What each task brought in `seconds`, then their sum; after `settle` seconds for a change to take hold.
    auto window = [&](double settle, double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(settle));
        std::map<TaskId, double> before = done();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        std::vector<double> parts{0};
        for (auto [id, bytes] : done()) {
            parts.insert(parts.end() - 1, bytes - before[id]);
            parts.back() += bytes - before[id];
        }
        return parts;
    };
    ASSERT_TRUE(
        WaitFor([&] { return std::ranges::count_if(done(), [](auto& task) { return task.second > 0; }) == 3; }));
    std::vector<double> limited = window(2, 4);
    ASSERT_EQ(limited.size(), 4u);
    EXPECT_LE(limited[3], 1.3 * 2048 * kKiB * 4);
    EXPECT_GE(limited[3], 0.5 * 2048 * kKiB * 4);
    for (int task = 0; task < 3; ++task) {
        EXPECT_GE(limited[task], limited[3] / 6) << "less than half of an equal share";
    }
    engine_->limiter.SetLimit(512);
    EXPECT_LE(window(1, 4).back(), 1.3 * 512 * kKiB * 4);
    // A throttled task is not held back from a pause.
    engine_->commands.PauseTask(engine_->commands.FindTask(pages[2]));
    EXPECT_TRUE(WaitFlag({pages[2]}, "2"));
    engine_->limiter.SetLimit(0);
    EXPECT_GE(window(1, 3).back(), 2 * 512 * kKiB * 3);
    ASSERT_TRUE(WaitCompleted({pages[0], pages[1]}, 120s));
}

}  // namespace
}  // namespace tarvane::test
