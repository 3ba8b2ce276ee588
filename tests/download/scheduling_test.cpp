#include "tarvane/engine/segment_map.h"
#include "tests/download/engine_harness.h"
#include "tests/support/tinyproxy.h"

namespace tarvane::test {
namespace {

TEST_F(DownloadTest, LimitOfTwoStartsWaitingTasksAsOthersEndWhateverTheOutcome) {
    engine_->context.retry.waits.clear();  // failures stay failures here
    WriteConfig("[options]\nmaxTaskNum=2\n");
    std::vector<std::string> pages;
    for (int i = 0; i < 4; ++i) {
        std::string path = "/files/s" + std::to_string(i) + ".bin";
        site_.AddStallingFile(path, MakeFileBytes(200000, i), 1000);
        pages.push_back(Add(path, "s" + std::to_string(i)));
    }
    std::string last = MakeFileBytes(5000, 9);
    site_.AddFile("/files/last.bin", last);
    pages.push_back(Add("/files/last.bin", "last"));
    // Every task is listed and stored at once; two run, three wait.
    ASSERT_EQ(engine_->list.RowCount(), 5);
    for (const auto& page : pages) {
        EXPECT_EQ(Stored(page, "flag"), "1");
    }
    ASSERT_TRUE(WaitFor([&] { return engine_->tables.RunningCount() == 2; }));
    EXPECT_EQ(engine_->tables.WaitingCount(), 3);
    EXPECT_TRUE(engine_->tables.IsWaiting(engine_->list.KeyOfRow(2)));

    // Starting a running or a waiting task again does nothing.
    ASSERT_TRUE(WaitFor([&] { return site_.RequestCount("/files/s0.bin") == 2; }));
    engine_->commands.StartTask(engine_->Task(0));
    engine_->commands.StartTask(engine_->Task(2));
    EXPECT_EQ(engine_->scheduler.LiveWorkers(), 2);
    EXPECT_EQ(engine_->tables.WaitingCount(), 3);
    EXPECT_EQ(site_.RequestCount("/files/s0.bin"), 2);

    // Pausing a waiting task does nothing; pausing a running one starts the next.
    engine_->commands.PauseTask(engine_->Task(3));
    engine_->commands.PauseTask(engine_->Task(0));
    ASSERT_TRUE(WaitFlag({pages[0]}, "2"));
    ASSERT_TRUE(WaitFor([&] { return site_.RequestCount("/files/s2.bin") >= 1; }));
    EXPECT_EQ(engine_->tables.WaitingCount(), 2);
    EXPECT_LE(engine_->scheduler.LiveWorkers(), 2);

    // Failures free their places too, until the last task completes.
    site_.ReleaseStalls();
    ASSERT_TRUE(WaitCompleted({pages[4]}));
    ASSERT_TRUE(engine_->WaitIdle());
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(Stored(pages[i], "flag"), "3") << i;
    }
    EXPECT_EQ(Stored(pages[0], "flag"), "2");
    EXPECT_EQ(Game("last.bin"), last);
}

TEST_F(DownloadTest, DeletingRowsKeepsEveryWorkerOnItsOwnRow) {
    engine_->context.retry.waits.clear();  // failures stay failures here
    WriteConfig("[options]\nmaxTaskNum=2\n");
    site_.AddStallingFile("/files/a.bin", MakeFileBytes(300000, 1), 20000);
    site_.AddStallingFile("/files/b.bin", MakeFileBytes(300000, 2), 20000);
    site_.AddFile("/files/c.bin", MakeFileBytes(1000, 3));
    std::string a = Add("/files/a.bin", "a"), b = Add("/files/b.bin", "b"), c = Add("/files/c.bin", "c");
    ASSERT_TRUE(
        WaitFor([&] { return engine_->tables.RunningCount() == 2 && site_.RequestCount("/files/b.bin") == 2; }));

    // The waiting task goes for good, then the first running one; b moves up to row 0.
    engine_->commands.DeleteTask(engine_->Task(2));
    EXPECT_EQ(engine_->tables.WaitingCount(), 0);
    engine_->commands.DeleteTask(engine_->Task(0));
    ASSERT_EQ(engine_->list.RowCount(), 1);
    EXPECT_EQ(engine_->list.SubItemText(0, kColumnPage), b);
    site_.ReleaseStalls();
    ASSERT_TRUE(engine_->WaitIdle());

    // b failed on its own row; nothing of a or c came back.
    EXPECT_EQ(engine_->list.Image(0), kImageFailed);
    EXPECT_EQ(Stored(b, "flag"), "3");
    EXPECT_TRUE(Stored(a, "frmPge").empty());
    EXPECT_TRUE(Stored(c, "frmPge").empty());
    EXPECT_EQ(site_.RequestCount("/files/c.bin"), 0);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/a.bin"));
}

// A link is taken at once while the parse service hangs: its row and item are there before the service
// answers, and it downloads once it does. A page the service names no file for says why in its row.
TEST_F(DownloadTest, LinksAreTakenAtOnceAndLookedUpByTheirWorkers) {
    std::string failing = "http://game.quellora.localhost:8717/game/list.htm";
    site_.SetRawParseReply(failing, "xbm9u|||x");  // decodes to something without a link
    engine_->AddPage(failing, games_);
    ASSERT_TRUE(WaitFlag({failing}) && engine_->WaitIdle());
    EXPECT_NE(Stored(failing, "error").find(site_.Host()), std::string::npos);
    EXPECT_EQ(engine_->list.Tip(0), Stored(failing, "error"));

    site_.AddFile("/files/held.rar", MakeFileBytes(5000, 40));
    site_.HoldParseReplies();
    std::string page = Add("/files/held.rar", "held");
    EXPECT_EQ(engine_->list.SubItemText(1, kColumnTimeLeft), platform::AnsiFromUtf8("解析中"));
    // Saved before the service answers.
    EXPECT_EQ(Stored(page, "frmPge"), page);
    site_.ReleaseStalls();
    ASSERT_TRUE(WaitCompleted({page}));
    EXPECT_EQ(Completed(page, "path"), games_ + "/held.rar");
}

TEST_F(DownloadTest, CommandsOnStoredTasks) {
    DownloadTask task{.frmPge = GamePage("9"),
                      .name = "stored",
                      .path = games_,
                      .size = "1000",
                      .downloadedSize = "100",
                      .fileLink = "http://files.example.localhost/stored.rar",
                      .flag = "1",
                      .type = "rar"};
    engine_->files.AddItem(engine_->DownloadFile(), task, false);
    // Several connections left more on disk than the count from the start says.
    SegmentMap held;
    held.size = 1000;
    held.segments = {{0, 100, 500}, {500, 1000, 1000}};
    SaveSegmentMap(games_ + "/stored.rar", held);
    task.size = task.downloadedSize = "";
    task.frmPge += "?empty";
    task.flag = "";
    engine_->files.AddItem(engine_->DownloadFile(), task, false);
    task.frmPge += "?failed";
    task.flag = "3";
    engine_->files.AddItem(engine_->DownloadFile(), task, false);
    Restart();
    // Not running at the start: paused, whatever the stored flag said, unless it failed. A failed
    // task can be started again.
    EXPECT_EQ(engine_->commands.GetTaskState(engine_->Task(0)), 2);
    EXPECT_EQ(Stored(GamePage("9"), "flag"), "2");  // the menu, the row and the item agree
    EXPECT_EQ(engine_->list.SubItemText(0, kColumnPercent), "60.00%");
    EXPECT_EQ(engine_->commands.GetTaskState(engine_->Task(1)), 2);
    EXPECT_EQ(engine_->commands.GetTaskState(engine_->Task(2)), 3);
    ASSERT_FALSE(engine_->commands.MenuFor(engine_->Task(2)).empty());
    EXPECT_TRUE(engine_->commands.MenuFor(engine_->Task(2))[0].enabled);

    engine_->commands.CopyLink(engine_->Task(0));
    EXPECT_EQ(engine_->ports.texts, std::vector<std::string>{"http://files.example.localhost/stored.rar"});
    engine_->commands.BrowseSourcePage(engine_->Task(0));
    engine_->commands.OpenFolder(engine_->Task(0));  // no file yet: its folder
    WriteFile(games_ + "/stored.rar", "x");
    engine_->commands.OpenFolder(engine_->Task(0));
    EXPECT_EQ(engine_->ports.webPages, std::vector<std::string>{GamePage("9")});
    EXPECT_EQ(engine_->ports.openedFolders, std::vector<std::string>{games_ + "/"});
    EXPECT_EQ(engine_->ports.shownFiles, std::vector<std::string>{games_ + "/stored.rar"});
    EXPECT_EQ(engine_->list.RowOf(engine_->commands.FindTask(task.frmPge)), 2);

    // A delete removes item, row and file.
    EXPECT_EQ(engine_->commands.DeleteTask(engine_->Task(0)), DeleteOutcome::Deleted);
    EXPECT_EQ(engine_->list.RowCount(), 2);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/stored.rar"));
    EXPECT_EQ(Stored(GamePage("9"), "frmPge"), "");
    EXPECT_EQ(engine_->list.RowOf(engine_->commands.FindTask(task.frmPge)), 1);
}

TEST_F(DownloadTest, ProxyWithTheRightPasswordDownloadsAndTheWrongOneFails) {
    TinyProxy proxy("gamer", "s3cret");
    if (!proxy.running()) {
        GTEST_SKIP() << "tinyproxy is not available";
    }
    std::string bytes = MakeFileBytes(300000, 5);
    site_.AddFile("/files/p.rar", bytes);
    std::string good = Page("/files/p.rar", "viaproxy"), bad = Page("/files/p.rar", "refused");
    engine_->AddPage(good, games_,
                     {.prxIP = "127.0.0.1", .prxPort = proxy.port(), .prxName = "gamer", .prxPwd = "s3cret"});
    ASSERT_TRUE(WaitCompleted({good}));
    EXPECT_TRUE(Game("viaproxy.rar") == bytes);

    int before = site_.RequestCount("/files/p.rar");
    engine_->AddPage(bad, games_,
                     {.prxIP = "127.0.0.1", .prxPort = proxy.port(), .prxName = "gamer", .prxPwd = "wrong"});
    ASSERT_TRUE(WaitFlag({bad}));
    EXPECT_EQ(site_.RequestCount("/files/p.rar"), before);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/refused.rar"));
}

}  // namespace
}  // namespace tarvane::test
