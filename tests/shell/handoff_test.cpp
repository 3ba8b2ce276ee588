#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <thread>

#include "platform/codepage.h"
#include "tarvane/shell/handoff_server.h"
#include "tarvane/shell/tarvane_app.h"
#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

// The running instance lives in this process: its lock, its socket, its window. The second
// instance is the real program, started with the same runtime folder.
class HandoffTest : public ShellTest {
protected:
    HandoffTest() : runtime_(temp_.File("runtime")), dialog_(MakeDialog()) {
        std::filesystem::create_directory(runtime_);
        folder_ = platform::HandoffFolderIn(runtime_);
        lock_ = std::make_unique<QLockFile>(QString::fromStdString(folder_ + "/tarvane.lock"));
        EXPECT_TRUE(lock_->tryLock(0));
        server_ = std::make_unique<HandoffServer>(
            HandoffServer::Handlers{[this](std::uint64_t dwData, const platform::LinkHandoffRecord& record) {
                                        dialog_->OnCopyData(dwData, record);
                                    },
                                    [this] {
                                        dialog_->BringForward();
                                        senderBlocked_ = SenderStillWaiting();
                                    }});
        EXPECT_TRUE(server_->Listen(folder_ + "/Quellora"));
        dialog_->Initialize();
    }
    ~HandoffTest() override {
        server_.reset();
        dialog_->Finish();
    }

    // Whether the second instance has not ended yet, looked at without reaping it; given time to
    // end if it were not waiting for the handler.
    bool SenderStillWaiting() {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        siginfo_t info{};
        waitid(P_PID, static_cast<id_t>(second_.processId()), &info, WEXITED | WNOHANG | WNOWAIT | __WALL);
        return info.si_pid == 0;
    }

    // A second instance with the runtime folder of this one, offscreen.
    void Prepare(QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime_));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
    }

    // Runs the second instance to its end; answers its exit code.
    int RunSecondInstance(const QStringList& arguments) {
        Prepare(second_);
        second_.start(QStringLiteral(TARVANE_BINARY), arguments);
        EXPECT_TRUE(second_.waitForStarted(10000));
        EXPECT_TRUE(SpinUntil([this] { return second_.state() == QProcess::NotRunning; }, std::chrono::seconds(60)));
        return second_.exitStatus() == QProcess::NormalExit ? second_.exitCode() : -1;
    }

    std::string runtime_;
    std::string folder_;
    std::unique_ptr<MainDialog> dialog_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<HandoffServer> server_;
    QProcess second_;
    bool senderBlocked_ = false;
};

TEST_F(HandoffTest, SecondStartHandsItsLinkOverWhileTheServiceHangsOrBringsTheWindowBack) {
    std::string page = StallingPage(1);
    dialog_->HideToTray();
    // The parse service answers nothing: the sender is answered all the same, the row says it is
    // being looked up, and the game goes on once the service answers.
    site_.HoldParseReplies();
    EXPECT_EQ(RunSecondInstance({QStringLiteral("tarvane://>%1<").arg(QString::fromStdString(page))}), 0);
    ASSERT_TRUE(SpinUntil([&] { return dialog_->model().rowCount() == 1; }));
    EXPECT_EQ(dialog_->model().Text(0, kColumnPage), page);
    EXPECT_EQ(dialog_->model().Text(0, kColumnTimeLeft), platform::AnsiFromUtf8("解析中"));
    site_.ReleaseStalls();
    ASSERT_TRUE(SpinUntil([&] { return site_.RequestCount("/files/stall1.bin") > 0; }));
    EXPECT_TRUE(SpinUntil([&] { return dialog_->model().Text(0, kColumnLink) == site_.Url("/files/stall1.bin"); }));
    // The same page again is not a second task, and its page is not parsed again.
    auto asked = site_.ParseRequestLinks().size();
    dialog_->OnCopyData(0, {page, "", "", 0});
    EXPECT_TRUE(SpinUntil([&] { return dialog_->intakeJobs().Idle(); }));
    EXPECT_EQ(dialog_->model().rowCount(), 1);
    EXPECT_EQ(site_.ParseRequestLinks().size(), asked);
    // A link leaves the window where it is.
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(shell_.messages.empty());

    dialog_->showMinimized();
    dialog_->HideToTray();
    senderBlocked_ = false;
    EXPECT_EQ(RunSecondInstance({}), 0);
    EXPECT_TRUE(senderBlocked_);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_FALSE(dialog_->isMinimized());
    EXPECT_EQ(dialog_->model().rowCount(), 1);
}

TEST_F(HandoffTest, RecordWithDefaultProxyTakesItFromTheSettings) {
    WriteConfig("[options]\ndefaultPath=" + temp_.File("saved") +
                "\n[defaultPxy]\nip=127.0.0.9\nport=3128\nuserName=u\nuserPwd=p\n");
    std::string page = StallingPage(4);
    dialog_->OnCopyData(0, {page, "named", "agent/1", 1});
    ASSERT_TRUE(SpinUntil([&] { return dialog_->intakeJobs().Idle(); }));
    ASSERT_TRUE(dialog_->engine().Flush());
    TaskFiles& files = dialog_->engine().files;
    std::string download = directory_ + kDownloadFileName;
    EXPECT_EQ(files.GetItemField(download, "frmPge", page, "prxIP"), "127.0.0.9");
    EXPECT_EQ(files.GetItemField(download, "frmPge", page, "prxName"), "u");
    EXPECT_EQ(files.GetItemField(download, "frmPge", page, "agent"), "agent/1");
}

TEST_F(HandoffTest, BurstOfSecondStartsWhileDownloadsFinishKeepsEveryTaskOnce) {
    std::string games = temp_.File("games");
    std::filesystem::create_directory(games);
    WriteConfig("[options]\nmaxTaskNum=3\ndefaultPath=" + games + "\n");
    constexpr int kLinks = 15;
    std::vector<std::unique_ptr<QProcess>> senders;
    for (int i = 0; i < kLinks; ++i) {
        std::string file = "/files/burst" + std::to_string(i) + ".bin";
        site_.AddFile(file, MakeFileBytes(30000 + 1000 * i, static_cast<unsigned>(i)));
        site_.SetParseReply(Page(100 + i), site_.Url(file), "burst" + std::to_string(i));
        auto& sender = senders.emplace_back(std::make_unique<QProcess>());
        Prepare(*sender);
        sender->start(QStringLiteral(TARVANE_BINARY),
                      {QStringLiteral("tarvane://>%1<").arg(QString::fromStdString(Page(100 + i)))});
    }
    TaskFiles& files = dialog_->engine().files;
    auto allCompleted = [&] {
        for (int i = 0; i < kLinks; ++i) {
            if (dialog_->engine().LocatePage(Page(100 + i)) != kPageCompleted) {
                return false;
            }
        }
        return dialog_->engine().scheduler.LiveWorkers() == 0;
    };
    ASSERT_TRUE(SpinUntil(allCompleted, std::chrono::seconds(60)));
    for (auto& sender : senders) {
        EXPECT_TRUE(SpinUntil([&] { return sender->state() == QProcess::NotRunning; }));
        EXPECT_EQ(sender->exitCode(), 0);
    }
    // The finished rows leave with the list's next repaint.
    EXPECT_TRUE(SpinUntil([&] { return dialog_->model().rowCount() == 0; }));
    ASSERT_TRUE(dialog_->engine().Flush());
    EXPECT_TRUE(files.ListTasks(directory_ + kDownloadFileName).empty());
    EXPECT_EQ(files.ListCompleted(directory_ + kCompletedFileName).size(), static_cast<std::size_t>(kLinks));
    // A page whose game is finished, handed over again, is not downloaded again.
    int requests = site_.RequestCount("/files/burst0.bin");
    dialog_->OnCopyData(0, {Page(100), "", "", 0});
    ASSERT_TRUE(SpinUntil([&] { return dialog_->intakeJobs().Idle(); }));
    EXPECT_EQ(dialog_->model().rowCount(), 0);
    EXPECT_EQ(site_.RequestCount("/files/burst0.bin"), requests);
    for (int i = 0; i < kLinks; ++i) {
        EXPECT_TRUE(ReadFile(games + "/burst" + std::to_string(i) + ".bin") ==
                    MakeFileBytes(30000 + 1000 * i, static_cast<unsigned>(i)))
            << i;
    }
}

TEST_F(HandoffTest, LinkThatCannotBeHandedOverIsSaid) {
    // A folder where the socket should be: nothing listens, and the link must not vanish unsaid.
    std::string blocked = folder_ + "/blocked";
    std::filesystem::create_directory(blocked);
    FakeShell boxes;
    EXPECT_FALSE(HandOffToRunningInstance(">" + Page(7) + "<", blocked, boxes));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_NE(boxes.messages[0].find(Page(7)), std::string::npos);
}

}  // namespace
}  // namespace tarvane::test
