#include <sys/resource.h>

#include <csignal>
#include <system_error>
#include <thread>

#include "tarvane/store/task_file_repair.h"
#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

// Commands by id against workers on their own threads: a start of a waiting task keeps its one place
// in the queue, and a delete while its task finishes either wins (no item, no file) or gives
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
    // Every other delete comes the moment its task's worker starts to finish it.
    for (int i = 0; i < kTasks; ++i) {
        TaskId id = engine_->commands.FindTask(pages[static_cast<std::size_t>(i)]);
        WaitFor([&] {
            auto state = engine_->tables.WorkerStateOf(id);
            return i % 2 == 1 || state == kStateCompleted || (!state && !engine_->tables.IsWaiting(id));
        });
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
    const DownloadTask done{.frmPge = GamePage("done"), .name = "done", .path = games_, .type = "bin"};
    // An older build could not write completed.xml: the finished task stayed in download.xml as "4".
    DownloadTask refused = done;
    refused.frmPge = GamePage("refused");
    refused.name = "refused";
    refused.flag = "4";
    engine_->files.AddItem(engine_->DownloadFile(), refused, false);
    WriteFile(games_ + "/refused.bin", bytes);
    // An end between the two writes leaves a task in both files.
    engine_->files.AddItem(engine_->DownloadFile(), done, false);
    WriteFile(games_ + "/done.bin", bytes);
    WriteFile(engine_->CompletedFile(), "<completed><item name=");

    auto setAside = RepairTaskFiles(engine_->files, temp_.Directory());
    ASSERT_EQ(setAside.size(), 1u);
    EXPECT_EQ(setAside[0].file, engine_->CompletedFile());
    EXPECT_EQ(ReadFile(setAside[0].setAsideAs), "<completed><item name=");
    engine_->files.AddItem(engine_->CompletedFile(), done, true);
    Restart();
    EXPECT_EQ(Stored(done.frmPge, "frmPge"), "");
    EXPECT_EQ(Stored(refused.frmPge, "frmPge"), "");
    EXPECT_EQ(Completed(refused.frmPge, "path"), games_ + "/refused.bin");
    EXPECT_EQ(engine_->LocatePage(done.frmPge), kPageCompleted);
    EXPECT_EQ(engine_->book.Count(), 0u);

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
        EXPECT_FALSE(
            engine_->files.ItemExists(engine_->DownloadFile(), "frmPge", "http://game.quellora.localhost/new.htm"));
        std::filesystem::remove(aside[0].setAsideAs);
    }
    // The whole item of the cut file came over; the GBK one reads as its Chinese name.
    WriteFile(engine_->DownloadFile(), cases[0]);
    ASSERT_EQ(RepairTaskFiles(engine_->files, temp_.Directory())[0].itemsCarriedOver, 1);
    EXPECT_EQ(Stored("http://game.quellora.localhost/ok.htm", "flag"), "2");
    EXPECT_EQ(SalvageItems(cases[2]).size(), 1u);
}

// While the task files refuse every write (a full or read-only folder), the book goes on: the menu,
// a start, a finish and the delete of a paused task with its data file all work, the user is told
// once, and the files take everything once they can.
TEST_F(DownloadTest, WhileTheTaskFilesRefuseWritesTheBookGoesOnAndTheFilesCatchUp) {
    std::vector<std::string> reports;
    engine_.reset();
    WriteConfig("[options]\nplayAudioCmp=0\n");
    std::string bytes = MakeFileBytes(600, 5);
    site_.AddFile("/files/small.bin", bytes);
    // Long enough that download.xml is past the size limit below, while data files stay under it.
    std::string agent(2000, 'a');
    std::string page = GamePage("small"), paused = GamePage("paused");
    DownloadTask task{.frmPge = page,
                      .name = "small",
                      .path = games_,
                      .size = "600",
                      .downloadedSize = "0",
                      .fileLink = site_.Url("/files/small.bin"),
                      .flag = "2",
                      .type = "bin",
                      .agent = agent};
    TaskFiles().AddItem(temp_.File("download.xml"), task, false);
    task.frmPge = paused;
    task.name = "paused";
    task.downloadedSize = "100";
    TaskFiles().AddItem(temp_.File("download.xml"), task, false);
    WriteFile(games_ + "/paused.bin", bytes.substr(0, 100));
    engine_ = std::make_unique<EngineHarness>(temp_.Directory(), site_.Host());
    engine_->writer.OnUnsaved([&](const std::string& file) { reports.push_back(file); });

    // Every write past 1000 bytes of this process fails while the limit is down (root ignores modes).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &tiny);
    EXPECT_TRUE(engine_->commands.MenuFor(engine_->Task(0))[0].enabled);  // start
    engine_->commands.StartTask(engine_->Task(0));
    ASSERT_TRUE(WaitFor([&] { return engine_->LocatePage(page) == kPageCompleted; }));
    EXPECT_EQ(engine_->commands.DeleteTask(engine_->commands.FindTask(paused)), DeleteOutcome::Deleted);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/paused.bin"));
    EXPECT_FALSE(engine_->Flush(300ms));
    EXPECT_TRUE(engine_->writer.HasUnsaved());
    // The files still hold what they held.
    EXPECT_TRUE(engine_->files.ItemExists(engine_->DownloadFile(), "frmPge", paused));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_TRUE(engine_->Flush());
    EXPECT_EQ(reports, std::vector<std::string>{engine_->DownloadFile()});
    EXPECT_EQ(Stored(page, "frmPge"), "");
    EXPECT_EQ(Stored(paused, "frmPge"), "");
    EXPECT_EQ(Completed(page, "path"), games_ + "/small.bin");
    EXPECT_TRUE(Game("small.bin") == bytes);
}

// Writes carry the task's id: a worker whose task was deleted and whose page came back as a new task
// saves nothing over the new one, and a worker that cannot get a thread leaves nothing behind.
TEST_F(DownloadTest, AnOldWorkerNeverWritesOverTheTaskThatTookItsPage) {
    site_.AddSlowFile("/files/again.bin", MakeFileBytes(150000, 9), 50000);
    std::string page = Add("/files/again.bin", "again");
    TaskId first = engine_->Task(0);
    ASSERT_TRUE(WaitFor([&] { return engine_->book.Get(first)->done > 0; }));
    engine_->commands.DeleteTask(first);
    DownloadTask other;
    other.name = "other";
    engine_->AddPage(page, games_, other);
    TaskId second = engine_->commands.FindTask(page);
    ASSERT_NE(second, first);
    engine_->commands.PauseTask(second);
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(Stored(page, "name"), engine_->book.Get(second)->name);
    EXPECT_EQ(Stored(page, "flag"), "2");
    EXPECT_EQ(engine_->files.ListTasks(engine_->DownloadFile()).size(), 1u);

    TransferScheduler starved(engine_->context, [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    TaskLaunch launch;
    static_cast<DownloadTask&>(launch) = StoredForm(*engine_->book.Get(second));
    launch.id = second;
    EXPECT_EQ(starved.StartOrWait(launch, 5), TransferScheduler::Start::NoThread);
    EXPECT_FALSE(engine_->tables.HasWorker(second));
    EXPECT_EQ(engine_->book.Get(second)->state, kStateFailed);
    EXPECT_EQ(Stored(page, "flag"), "3");
    EXPECT_TRUE(starved.Shutdown(1s));
    engine_->commands.StartTask(second);
    ASSERT_TRUE(WaitCompleted({page}));
}

}  // namespace
}  // namespace tarvane::test
