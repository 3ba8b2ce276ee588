#include <sys/mount.h>
#include <unistd.h>

#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

using Answer = TestSite::Answer;

// Transfers cut short in several ways, side by side: each file ends up whole and as the server has it
// now, never a mix of two versions, or the task fails with its reason.
TEST_F(DownloadTest, InterruptedTransfersAreHealedIntoTheServersCurrentFile) {
    WriteConfig("[options]\nplayAudioCmp=0\n");
    std::string same = MakeFileBytes(300000, 1), other = MakeFileBytes(200000, 2), first = MakeFileBytes(200000, 3),
                second = MakeFileBytes(200000, 4), flaky = MakeFileBytes(400000, 5);
    // Both old links serve their first 30 %, then answer 410 for good.
    for (const char* path : {"/old/same.bin", "/old/other.bin"}) {
        site_.AddScriptedFile(path, {{same, "\"s\""}, {same, "\"s\"", 200, 90000}, {"gone", "", 410}});
    }
    site_.AddScriptedFile("/new/same.bin", {{same, "\"s\""}});
    site_.AddScriptedFile("/new/other.bin", {{other, "\"o\""}});
    // A file that changes between attempts.
    site_.AddScriptedFile("/changing.bin", {{first, "\"1\""}, {first, "\"1\"", 200, 80000}, {second, "\"2\""}});
    // Stalls and drops, tried again until the file is whole.
    std::vector<Answer> script{{flaky, "\"f\""}};
    for (bool stall : {true, false, true, false, false}) {
        script.push_back({flaky, "\"f\"", 200, 50000, stall});
    }
    script.push_back({flaky, "\"f\""});
    site_.AddScriptedFile("/flaky.bin", script);
    // A server that never sends fails the task with its reason.
    std::string silent = MakeFileBytes(100000, 6);
    site_.AddScriptedFile("/silent.bin", {{silent, "\"q\""}, {silent, "\"q\"", 200, 0, true}});
    // Outages: a port that listens later, busy answers, a wait the server asks for, a gateway down.
    int port = TestSite().port();
    engine_->AddPage("http://127.0.0.1:" + std::to_string(port) + "/late.bin", games_);
    site_.AddScriptedFile("/busy.bin", {{.status = 502}, {same}, {.bytes = "busy", .status = 503}, {same}});
    site_.AddScriptedFile("/limited.bin", {{.status = 429, .headers = {{"Retry-After", "2"}}}, {same}});
    site_.AddStatus("/down.bin", 504, "");
    Add("/busy.bin", "busy");
    Add("/limited.bin", "limited");
    std::string page = Add("/silent.bin", "silent"), down = Add("/down.bin", "down");
    std::string a = Add("/old/same.bin", "same"), b = Add("/old/other.bin", "other");
    std::string changing = Add("/changing.bin", "changing");
    Add("/flaky.bin", "flaky");
    // Asked again, the service names new links.
    site_.AddParseReply(a, site_.Url("/new/same.bin"), "same");
    site_.AddParseReply(b, site_.Url("/new/other.bin"), "other");
    // Its first wait is a twentieth of a second: the row's retry count stays after it.
    ASSERT_TRUE(WaitFor([&] {
        auto late = engine_->book.Get(engine_->Task(0));
        return late && late->retry >= 1;
    }));
    EXPECT_TRUE(TaskCellText({.note = TaskNote::Retrying, .retry = 1, .retries = 5}, kColumnTimeLeft)
                    .starts_with(platform::AnsiFromUtf8("重试")));
    TestSite later(port);
    later.AddFile("/late.bin", same);
    ASSERT_TRUE(WaitFor([&] { return site_.RequestCount("/limited.bin") == 1; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(site_.RequestCount("/limited.bin"), 1);
    ASSERT_TRUE(engine_->WaitIdle(60s));
    EXPECT_TRUE(Game("late.bin") == same && Game("busy.bin") == same && Game("limited.bin") == same);

    EXPECT_EQ(Completed(a, "fileLink"), site_.Url("/new/same.bin"));
    EXPECT_TRUE(Game("same.bin") == same);
    // The same file went on from what was on disk, 64 KiB of it compared again; another one started over.
    EXPECT_EQ(site_.RangeHeaders("/new/same.bin"), (std::vector<std::string>{"", "bytes=24464-"}));
    EXPECT_TRUE(Game("other.bin") == other);
    EXPECT_EQ(site_.RangeHeaders("/new/other.bin").back(), "");
    EXPECT_TRUE(Game("changing.bin") == second);
    EXPECT_TRUE(IsCompleted(changing));
    EXPECT_TRUE(Game("flaky.bin") == flaky);
    EXPECT_EQ(site_.RequestCount("/flaky.bin"), 7);

    std::string reason = std::to_string(TestStall().count()) + platform::AnsiFromUtf8(" 秒没有收到数据，已重试 5 次");
    ASSERT_EQ(engine_->list.RowCount(), 2);
    EXPECT_EQ(Stored(page, "flag"), "3");
    EXPECT_EQ(Stored(page, "error"), reason);
    EXPECT_EQ(engine_->list.Tip(0), reason);
    EXPECT_EQ(Stored(down, "error"), platform::AnsiFromUtf8("服务器返回 504，已重试 5 次"));
    EXPECT_EQ(engine_->list.SubItemText(0, kColumnSpeed) + engine_->list.SubItemText(0, kColumnTimeLeft), "");
    EXPECT_EQ(engine_->ports.sounds.load(), 0);
    const std::multiset<std::string>& ends = engine_->ports.ends;  // each told once, after its last attempt
    EXPECT_TRUE(ends.size() == 9 && ends.contains("silent: " + reason) && ends.contains("same.bin in " + games_));
    EXPECT_EQ(site_.RequestCount("/silent.bin"), 7);
    // The next start forgets the reason.
    site_.AddSlowFile("/silent.bin", silent, 50000);
    engine_->commands.StartTask(engine_->Task(0));
    ASSERT_TRUE(WaitFlag({page}, "1"));
    EXPECT_EQ(Stored(page, "error"), "");
    EXPECT_EQ(engine_->list.Tip(0), "");
    engine_->commands.PauseTask(engine_->Task(0));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(ends.size(), 9u);  // a pause is no end
}

TEST_F(DownloadTest, FullDiskFailsTheTaskAndKeepsItsData) {
    std::string small = games_ + "/small";
    std::filesystem::create_directory(small);
    if (geteuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    site_.Add("/unsized.bin", {.bytes = MakeFileBytes(3 << 20, 7), .chunked = true});
    site_.AddFile("/sized.bin", MakeFileBytes(3 << 20, 8));
    std::string unsized = Add("/unsized.bin", "unsized", small), sized = Add("/sized.bin", "sized", small);
    ASSERT_TRUE(engine_->WaitIdle());

    std::string noRoom = platform::AnsiFromUtf8("磁盘空间不足");
    EXPECT_EQ(Stored(unsized, "flag"), "3");
    EXPECT_EQ(Stored(unsized, "error"), noRoom);
    EXPECT_GT(std::filesystem::file_size(small + "/unsized.bin"), 0u);
    EXPECT_FALSE(IsCompleted(unsized));
    // A known size that cannot fit fails before its transfer.
    EXPECT_EQ(Stored(sized, "error"), noRoom);
    EXPECT_EQ(site_.RequestCount("/sized.bin"), 1);
}

}  // namespace
}  // namespace tarvane::test
