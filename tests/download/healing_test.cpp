#include <sys/mount.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "tests/download/download_test_base.h"

namespace tarvane::test {
namespace {

using Answer = TestSite::Answer;

TEST_F(DownloadTest, ExpiredLinkIsAskedForAgainAndGoesOnOrStartsOver) {
    std::string same = MakeFileBytes(300000, 1), other = MakeFileBytes(200000, 2);
    // Both links serve their first 30 %, then answer 410 for good.
    for (const char* path : {"/old/same.bin", "/old/other.bin"}) {
        site_.AddScriptedFile(path, {{same, "\"s\""}, {same, "\"s\"", 200, 90000}, {"", "", 410}});
    }
    site_.AddScriptedFile("/new/same.bin", {{same, "\"s\""}});
    site_.AddScriptedFile("/new/other.bin", {{other, "\"o\""}});
    std::string a = Page("same", "/old/same.bin", "same"), b = Page("other", "/old/other.bin", "other");
    engine_->AddPage(a, games_);
    engine_->AddPage(b, games_);
    // Asked again, the service names new links.
    site_.SetParseReply(a, site_.Url("/new/same.bin"), "same");
    site_.SetParseReply(b, site_.Url("/new/other.bin"), "other");
    ASSERT_TRUE(engine_->WaitIdle());

    EXPECT_EQ(Completed(a, "fileLink"), site_.Url("/new/same.bin"));
    EXPECT_TRUE(ReadFile(games_ + "/same.bin") == same);
    // The same file went on from what was on disk; another one started over.
    auto ranges = site_.RangeHeaders("/new/same.bin");
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[1], "bytes=90000-");
    EXPECT_TRUE(ReadFile(games_ + "/other.bin") == other);
    EXPECT_EQ(site_.RangeHeaders("/new/other.bin").back(), "");
}

TEST_F(DownloadTest, FileThatChangesBetweenAttemptsArrivesWholeNeverMixed) {
    std::string first = MakeFileBytes(200000, 3), second = MakeFileBytes(200000, 4);
    site_.AddScriptedFile("/changing.bin", {{first, "\"1\""}, {first, "\"1\"", 200, 80000}, {second, "\"2\""}});
    std::string page = Page("changing", "/changing.bin", "changing");
    engine_->AddPage(page, games_);
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_TRUE(ReadFile(games_ + "/changing.bin") == second);
    EXPECT_TRUE(IsCompleted(page));
}

TEST_F(DownloadTest, StallsAndDropsAreTriedAgainUntilTheFileIsWhole) {
    std::string bytes = MakeFileBytes(400000, 5);
    std::vector<Answer> script{{bytes, "\"f\""}};
    for (bool stall : {true, false, true, false, false}) {
        script.push_back({bytes, "\"f\"", 200, 50000, stall});
    }
    script.push_back({bytes, "\"f\""});
    site_.AddScriptedFile("/flaky.bin", script);
    std::string page = Page("flaky", "/flaky.bin", "flaky");
    engine_->AddPage(page, games_);
    ASSERT_TRUE(engine_->WaitIdle(std::chrono::seconds(60)));
    EXPECT_TRUE(ReadFile(games_ + "/flaky.bin") == bytes);
    EXPECT_EQ(site_.RequestCount("/flaky.bin"), 7);
}

TEST_F(DownloadTest, ServerThatNeverSendsFailsWithItsReasonUntilStartedAgain) {
    std::string bytes = MakeFileBytes(100000, 6);
    site_.AddScriptedFile("/silent.bin", {{bytes, "\"q\""}, {bytes, "\"q\"", 200, 0, true}});
    std::string page = Page("silent", "/silent.bin", "silent");
    engine_->AddPage(page, games_);
    ASSERT_TRUE(engine_->WaitIdle(std::chrono::seconds(60)));
    std::string reason = platform::AnsiFromUtf8("1 秒没有收到数据，已重试 5 次");
    EXPECT_EQ(Stored(page, "flag"), "3");
    EXPECT_EQ(Stored(page, "error"), reason);
    EXPECT_EQ(engine_->list.Tip(0), reason);
    EXPECT_EQ(site_.RequestCount("/silent.bin"), 7);

    // The next start forgets the reason.
    site_.AddSlowFile("/silent.bin", bytes, 50000);
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return Stored(page, "flag") == "1"; }));
    EXPECT_EQ(Stored(page, "error"), "");
    EXPECT_EQ(engine_->list.Tip(0), "");
    engine_->commands.PauseTask(0);
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
    site_.AddFileWithoutLength("/unsized.bin", MakeFileBytes(3 << 20, 7));
    site_.AddFile("/sized.bin", MakeFileBytes(3 << 20, 8));
    std::string unsized = Page("unsized", "/unsized.bin", "unsized"), sized = Page("sized", "/sized.bin", "sized");
    engine_->AddPage(unsized, small);
    engine_->AddPage(sized, small);
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
