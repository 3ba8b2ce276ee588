// Rules of a transfer that no other test would see break, each against the real engine and site.
#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

using Answer = TestSite::Answer;

// Attempts that bring new bytes renew the retry budget, however often a server cuts; a file that
// changes at every attempt earns no credit for the bytes it brings, so the task ends.
TEST_F(DownloadTest, OnlyBytesOfTheSameFileRenewTheRetryBudget) {
    std::string steady = MakeFileBytes(600000, 1);
    std::vector<Answer> cutting{{steady, "\"c\""}};
    for (int i = 0; i < 12; ++i) {
        cutting.push_back({steady, "\"c\"", 200, 100000});
    }
    cutting.push_back({steady, "\"c\""});
    site_.AddScriptedFile("/cutting.bin", cutting);
    std::vector<Answer> shifting;
    for (unsigned version = 0; version < 30; ++version) {
        shifting.push_back({MakeFileBytes(300000, 100 + version), "\"v" + std::to_string(version) + "\"", 200,
                            version == 0 ? SIZE_MAX : 100000});
    }
    site_.AddScriptedFile("/shifting.bin", shifting);
    std::string cut = Add("/cutting.bin", "cutting"), shift = Add("/shifting.bin", "shifting");
    ASSERT_TRUE(engine_->WaitIdle(60s));
    EXPECT_TRUE(IsCompleted(cut));
    EXPECT_TRUE(Game("cutting.bin") == steady);
    EXPECT_EQ(Stored(shift, "flag"), "3");
    EXPECT_LT(site_.RequestCount("/shifting.bin"), 15);
}

// A resume names the version it goes on with (If-Range), and the MD5 of a range is not the file's: a
// resume answered with one still finishes. Two tasks of one name write two files, also when they are
// opened again after a restart.
TEST_F(DownloadTest, AResumeNamesItsVersionARangesMd5IsNotTheFilesAndTasksOfOneNameKeepTheirOwnFiles) {
    std::string bytes = MakeFileBytes(300000, 3);
    site_.Add("/md5.bin", {.bytes = bytes, .etag = "\"m\"", .headers = {{"Content-MD5", "AAAAAAAAAAAAAAAAAAAAAA=="}}});
    std::string md5 = Store("md5", "/md5.bin", bytes.size(), "100000", bytes.substr(0, 100000));
    SetStored(md5, "etag", "\"m\"");

    std::string first = MakeFileBytes(200000, 4), second = MakeFileBytes(200000, 5);
    site_.AddSlowFile("/a/same.bin", first, 40000);
    site_.AddSlowFile("/b/same.bin", second, 40000);
    std::string a = Page("/a/same.bin", "same", "a"), b = Page("/b/same.bin", "same", "b");
    engine_->AddPage(a, games_);
    engine_->AddPage(b, games_);
    engine_->commands.StartTask(engine_->commands.FindTask(md5));
    ASSERT_TRUE(
        WaitFor([&] { return site_.BytesSent("/a/same.bin") > 50000 && site_.BytesSent("/b/same.bin") > 50000; }));
    engine_->commands.PauseTask(engine_->commands.FindTask(a));
    engine_->commands.PauseTask(engine_->commands.FindTask(b));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_TRUE(IsCompleted(md5));
    EXPECT_TRUE(Game("md5.bin") == bytes);
    EXPECT_EQ(site_.IfRangeHeaders("/md5.bin"), (std::vector<std::string>{"", "\"m\""}));

    Restart();
    site_.AddFile("/a/same.bin", first);
    site_.AddFile("/b/same.bin", second);
    engine_->commands.StartTask(engine_->commands.FindTask(b));
    engine_->commands.StartTask(engine_->commands.FindTask(a));
    ASSERT_TRUE(WaitCompleted({a, b}));
    EXPECT_NE(Completed(a, "path"), Completed(b, "path"));
    EXPECT_TRUE(ReadFile(platform::Utf8FromAnsi(Completed(a, "path"))) == first);
    EXPECT_TRUE(ReadFile(platform::Utf8FromAnsi(Completed(b, "path"))) == second);
}

}  // namespace
}  // namespace tarvane::test
