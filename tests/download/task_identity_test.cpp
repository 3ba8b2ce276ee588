#include <sys/resource.h>

#include <csignal>
#include <thread>

#include "tarvane/store/task_file_repair.h"
#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

TEST_F(DownloadTest, DeleteAnsweredWhileAnotherTaskCompletesDeletesTheTaskThatWasAskedFor) {
    WriteConfig("[options]\nmaxTaskNum=3\n");
    site_.AddSlowFile("/files/a.bin", MakeFileBytes(50000, 1), 100000);
    site_.AddSlowFile("/files/b.bin", MakeFileBytes(400000, 2), 50000);
    site_.AddSlowFile("/files/c.bin", MakeFileBytes(400000, 3), 50000);
    std::string a = Add("/files/a.bin", "a"), b = Add("/files/b.bin", "b"), c = Add("/files/c.bin", "c");
    // While the question waits, the first task completes and its row leaves the list.
    engine_->ports.whileShown = [&] {
        ASSERT_TRUE(WaitFor([&] { return IsCompleted(a) && engine_->list.RowCount() == 2; }));
    };
    engine_->commands.DeleteTask(engine_->Task(1));
    engine_->commands.PauseTask(engine_->Task(0));
    ASSERT_TRUE(engine_->WaitIdle());
    ASSERT_EQ(engine_->list.RowCount(), 1);
    EXPECT_EQ(engine_->list.SubItemText(0, kColumnPage), c);
    EXPECT_EQ(Stored(b, "frmPge"), "");
    EXPECT_EQ(Stored(c, "frmPge"), c);
    EXPECT_TRUE(IsCompleted(a));
}

// Commands by id against workers on their own threads: a start of a waiting task keeps its one place
// in the queue, and a delete answered while its task finishes either wins (no item, no file) or gives
// way to the finished list (entry and whole file), never both and never neither.
TEST_F(DownloadTest, StartsOfWaitingTasksAndDeletesDuringCompletionKeepEveryTaskWhole) {
    WriteConfig("[options]\nmaxTaskNum=3\n");
    constexpr int kTasks = 9;
    std::vector<std::string> pages;
    for (int i = 0; i < kTasks; ++i) {
        site_.AddSlowFile("/files/r" + std::to_string(i) + ".bin", MakeFileBytes(30000, i), 150000);
        pages.push_back(Add("/files/r" + std::to_string(i) + ".bin", "r" + std::to_string(i)));
    }
    int waiting = engine_->tables.WaitingCount();
    EXPECT_GT(waiting, 0);
    for (const std::string& page : pages) {
        engine_->commands.StartTask(engine_->commands.FindTask(page));
    }
    EXPECT_LE(engine_->tables.WaitingCount(), waiting);
    // Every other delete is answered the moment its task's worker starts to finish it.
    for (int i = 0; i < kTasks; ++i) {
        TaskId id = engine_->commands.FindTask(pages[static_cast<std::size_t>(i)]);
        engine_->ports.whileShown = [&, id, i] {
            WaitFor([&] {
                auto state = engine_->tables.WorkerStateOf(id);
                return i % 2 == 1 || state == kStateCompleted || (!state && !engine_->tables.IsWaiting(id));
            });
        };
        engine_->commands.DeleteTask(id);
    }
    ASSERT_TRUE(engine_->WaitIdle());
    for (int i = 0; i < kTasks; ++i) {
        const std::string& page = pages[static_cast<std::size_t>(i)];
        std::string file = "r" + std::to_string(i) + ".bin";
        EXPECT_EQ(engine_->commands.FindTask(page), kNoTask) << i;
        EXPECT_EQ(Stored(page, "frmPge"), "") << i;
        EXPECT_EQ(IsCompleted(page), std::filesystem::exists(games_ + "/" + file)) << i;
        if (IsCompleted(page)) {
            EXPECT_TRUE(Game(file) == MakeFileBytes(30000, i)) << i;
        }
    }
}

TEST_F(DownloadTest, TwoPagesOfOneFileNeverShareAWriter) {
    WriteConfig("[options]\nmaxTaskNum=5\n");
    std::string bytes = MakeFileBytes(300000, 7);
    site_.AddSlowFile("/files/same.bin", bytes, 200000);
    std::string first = Add("/files/same.bin", "first"), second = Add("/files/same.bin", "second");
    ASSERT_TRUE(WaitFor([&] { return site_.RequestCount("/files/same.bin") == 4; }));
    engine_->commands.PauseTask(engine_->Task(0));
    engine_->commands.PauseTask(engine_->Task(1));
    ASSERT_TRUE(engine_->WaitIdle());
    // Open-folder selects the file of a task that ran.
    EXPECT_EQ(engine_->list.SubItemText(0, kColumnName), "first.bin");
    engine_->commands.OpenFolder(engine_->Task(0));
    EXPECT_EQ(engine_->ports.shownFiles, std::vector<std::string>{games_ + "/first.bin"});

    // The second row restarts its own task, once however often it is started.
    engine_->commands.StartTask(engine_->Task(1));
    engine_->commands.StartTask(engine_->Task(1));
    engine_->commands.StartTask(engine_->Task(1));
    EXPECT_EQ(engine_->scheduler.LiveWorkers(), 1);
    engine_->commands.StartTask(engine_->Task(0));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(Completed(first, "name"), "first");
    EXPECT_EQ(Completed(second, "name"), "second");
    EXPECT_TRUE(Game("first.bin") == bytes);
    EXPECT_TRUE(Game("second.bin") == bytes);
}

TEST_F(DownloadTest, ACompletionCutBetweenTheTwoFilesOrADamagedFileIsTidiedAtTheNextStart) {
    std::string bytes = MakeFileBytes(40000, 4);
    site_.AddFile("/files/done.bin", bytes);
    std::string refused = Page("/files/done.bin", "refused");
    const DownloadTask done{.frmPge = GamePage("done"), .name = "done", .path = games_, .type = "bin"};
    // completed.xml cannot be read: the finished task stays in download.xml, marked finished.
    WriteFile(engine_->CompletedFile(), "<completed><item name=");
    engine_->AddPage(refused, games_);
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(Stored(refused, "flag"), "4");
    EXPECT_TRUE(Game("refused.bin") == bytes);

    // An end between the two writes leaves a task in both files.
    engine_->files.AddItem(engine_->DownloadFile(), done, false);
    WriteFile(games_ + "/done.bin", bytes);

    auto setAside = RepairTaskFiles(engine_->files, temp_.Directory());
    ASSERT_EQ(setAside.size(), 1u);
    EXPECT_EQ(setAside[0].file, engine_->CompletedFile());
    EXPECT_EQ(ReadFile(setAside[0].setAsideAs), "<completed><item name=");
    engine_->files.AddItem(engine_->CompletedFile(), done, true);
    RepairTaskFiles(engine_->files, temp_.Directory());
    EXPECT_EQ(Stored(done.frmPge, "frmPge"), "");
    EXPECT_EQ(Stored(refused, "frmPge"), "");
    EXPECT_EQ(Completed(refused, "path"), games_ + "/refused.bin");
    EXPECT_TRUE(IsCompleted(done.frmPge));

    // Damaged task files are set aside, with their whole items carried over.
    const std::string whole = R"(<item name="ok" frmPge="http://game.quellora.localhost/ok.htm" flag="2"/>)";
    const std::string cases[] = {
        "<download>\r\n" + whole + "\r\n<item name=\"cut\" frmPge=\"http://g",  // cut mid-item
        "",                                                                     // empty
        // GBK bytes under a UTF-8 declaration
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><download><item name=\"\xC4\xE3\" frmPge=\"http://p/x.htm\"/>",
    };
    for (const std::string& damaged : cases) {
        WriteFile(engine_->DownloadFile(), damaged);
        auto aside = RepairTaskFiles(engine_->files, temp_.Directory());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(ReadFile(aside[0].setAsideAs), damaged);
        EXPECT_EQ(engine_->files.LocatePage(temp_.Directory(), "http://game.quellora.localhost/new.htm"), kPageNew);
        std::filesystem::remove(aside[0].setAsideAs);
    }
    // The whole item of the cut file came over; the GBK one reads as its Chinese name.
    WriteFile(engine_->DownloadFile(), cases[0]);
    ASSERT_EQ(RepairTaskFiles(engine_->files, temp_.Directory())[0].itemsCarriedOver, 1);
    EXPECT_EQ(Stored("http://game.quellora.localhost/ok.htm", "flag"), "2");
    EXPECT_EQ(SalvageItems(cases[2]).size(), 1u);
}

TEST_F(DownloadTest, ChangesTheFilesRefuseAreKeptInMemoryAndWrittenLater) {
    std::vector<std::string> reports;
    engine_->store.OnUnsaved([&](const std::string& file) { reports.push_back(file); });
    DownloadTask task{.frmPge = "http://game.quellora.localhost/ro.htm", .name = "ro", .path = games_, .flag = "1"};
    // Every file write of this process fails while the limit is down (root ignores modes).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &tiny);
    EXPECT_TRUE(engine_->store.AddDownload(task));
    task.flag = "2";
    engine_->store.UpdateDownload(task.frmPge, task);
    EXPECT_TRUE(engine_->store.AddCompleted(task));
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(reports, std::vector<std::string>{engine_->DownloadFile()});
    EXPECT_TRUE(engine_->store.HasUnsaved(task.frmPge));
    EXPECT_EQ(Stored(task.frmPge, "frmPge"), "");

    EXPECT_TRUE(engine_->store.SaveKept());
    EXPECT_FALSE(engine_->store.HasUnsaved(task.frmPge));
    EXPECT_EQ(Stored(task.frmPge, "flag"), "2");
    EXPECT_TRUE(IsCompleted(task.frmPge));
}

}  // namespace
}  // namespace tarvane::test
