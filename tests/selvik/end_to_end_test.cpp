#include <gtest/gtest.h>
#include <signal.h>

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QWebEngineView>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/link_handoff.h"
#include "selvik/link_delivery.h"
#include "selvik/web_browser_view.h"
#include "tests/selvik/selvik_fakes.h"
#include "tests/support/temp_dir.h"
#include "tools/demo-site/catalogue.h"
#include "tools/demo-site/demo_site.h"
#include "tools/demo-site/sha256.h"

namespace selvik::test {
namespace {

// Starts real programs and keeps their process ids, so the test can end them (at the latest when the
// starter ends, also after a failed assertion).
class TrackingStarter : public platform::ProcessStarter {
public:
    TrackingStarter() = default;
    ~TrackingStarter() override { EndAll(); }
    TrackingStarter(const TrackingStarter&) = delete;
    TrackingStarter& operator=(const TrackingStarter&) = delete;

    bool Start(const std::string& program, const std::vector<std::string>& arguments) override {
        QStringList list;
        for (const auto& argument : arguments) {
            list << QString::fromStdString(argument);
        }
        qint64 pid = 0;
        bool started = QProcess::startDetached(QString::fromStdString(program), list, {}, &pid);
        std::lock_guard lock(mutex_);
        programs_.push_back(program);
        if (started) {
            pids_.push_back(pid);
        }
        return started;
    }
    std::vector<std::string> Programs() const {
        std::lock_guard lock(mutex_);
        return programs_;
    }
    // Ends every program started, in order, and answers whether all of them were gone in time.
    bool EndAll() {
        std::vector<qint64> pids;
        {
            std::lock_guard lock(mutex_);
            pids.swap(pids_);
        }
        bool allGone = true;
        for (qint64 pid : pids) {
            kill(static_cast<pid_t>(pid), SIGTERM);
            bool gone = false;
            for (int i = 0; i < 300 && !gone; ++i) {
                gone = kill(static_cast<pid_t>(pid), 0) != 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (!gone) {
                kill(static_cast<pid_t>(pid), SIGKILL);
                allGone = false;
            }
        }
        return allGone;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> programs_;
    std::vector<qint64> pids_;
};

// A program directory holding a copy of the real tarvane, a demo site, and the environment both
// programs read.
class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() {
        std::filesystem::copy_file(TARVANE_BINARY, dir.File("tarvane"));
        tarvane::test::WriteFile(dir.File("updater"), "#!/bin/sh\n");
        std::filesystem::permissions(dir.File("updater"), std::filesystem::perms::owner_all);
        std::filesystem::create_directories(dir.File("saved"));
        std::filesystem::create_directories(dir.File("runtime"));
        std::filesystem::permissions(dir.File("runtime"), std::filesystem::perms::owner_all);
        tarvane::test::WriteFile(dir.File("config.ini"), "[options]\ndefaultPath=" + dir.File("saved") + "\n");
        EXPECT_GT(site.Bind(0), 0);
        site.Start();
        port = std::to_string(site.port());
        // Inherited by tarvane; the runtime folder also tells this process where tarvane's socket is.
        environment.Set("XDG_RUNTIME_DIR", dir.File("runtime"));
        environment.Set("XDG_DATA_HOME", dir.File("data"));
        environment.Set("XDG_CONFIG_HOME", dir.File("config"));
        environment.Set("QT_QPA_PLATFORM", "offscreen");
        environment.Set("TARVANE_WEB_PANE", "0");
        environment.Set("TARVANE_OFFICIAL_HOST", "www.quellora.localhost:" + port);
        environment.Set("TARVANE_PORTAL_HOST", "game.quellora.localhost:" + port);
        environment.Set("TARVANE_MINIGAME_HOST", "mini.quellora.localhost:" + port);
    }
    ~EndToEnd() override {
        EXPECT_TRUE(starter.EndAll());
        site.Stop();
    }

    tarvane::test::TempDir dir;
    tarvane::demo::DemoSite site{tarvane::demo::DemoSiteOptions{}};
    std::string port;
    ScopedEnvironment environment;
    TrackingStarter starter;
};

// selvik shows a demo game's page; "下载" with no tarvane running starts the real tarvane from the
// program directory, hands the page over, and the game arrives intact in the download folder.
TEST_F(EndToEnd, DownloadStartsTarvaneWhichFetchesTheGame) {
    const tarvane::demo::Game* game = tarvane::demo::FindGame(1102);
    ASSERT_NE(game, nullptr);
    std::string page = "http://game.quellora.localhost:" + port + tarvane::demo::GamePagePath(*game);

    SocketHandoffChannel channel(platform::HandoffSocketPath());
    ASSERT_EQ(channel.Send(HandoffRecordFor("http://nothing.test/").value()), platform::HandoffResult::NoReceiver);
    SleepingWaiter waiter;
    std::atomic<int> outcome{-1};
    RecordingNotices notices;
    // Saved under the name the parse service gives: the game's name.
    std::string file = dir.File("saved/" + std::string(game->name) + ".zip");
    {
        BackgroundLinkSender sender([&](const std::string& record) {
            outcome = static_cast<int>(DeliverLink(record, dir.File("tarvane"), {channel, starter, waiter}));
        });
        WebBrowserView* view = nullptr;
        BrowserDialog dialog(BrowserSetup{dir.File("selvik"), page}, BrowserPorts{starter, sender, notices},
                             [&](QWidget* parent) {
                                 view = new WebBrowserView(parent);
                                 return view;
                             });
        dialog.show();
        auto* address = dialog.findChild<QLineEdit*>("address");
        ASSERT_TRUE(SpinUntil([&] { return address->text().toStdString() == page; }));
        dialog.findChild<QPushButton*>("download")->click();

        EXPECT_TRUE(SpinUntil([&] { return outcome.load() >= 0; }, std::chrono::seconds(60)));
        EXPECT_EQ(outcome.load(), static_cast<int>(DeliveryOutcome::Delivered));
        EXPECT_EQ(starter.Programs(), std::vector<std::string>{dir.File("tarvane")});

        bool done = SpinUntil(
            [&] {
                return std::filesystem::exists(dir.File("completed.xml")) &&
                       tarvane::test::ReadFile(dir.File("completed.xml")).find(page) != std::string::npos;
            },
            std::chrono::seconds(90));
        EXPECT_TRUE(done);
        if (done) {
            ASSERT_TRUE(std::filesystem::exists(file));
            EXPECT_EQ(std::filesystem::file_size(file), game->size);
            EXPECT_EQ(tarvane::demo::Sha256Hex(tarvane::test::ReadFile(file)), site.FileSha256(*game));
        }
    }
    EXPECT_TRUE(notices.shown.empty());
}

// A click on the demo portal's "用 tarvane 下载" link in the real page view goes through the desktop
// (xdg-open and the link handler the running tarvane registered) to that tarvane, which takes the task.
TEST_F(EndToEnd, PortalDownloadLinkReachesTheRunningTarvane) {
    std::string page = "http://game.quellora.localhost:" + port + "/game/1102.htm";

    // xdg-open without a desktop environment asks the user's handlers only when it sees a display.
    environment.Set("DISPLAY", ":tarvane-test");
    environment.Set("XDG_CURRENT_DESKTOP", "");

    ASSERT_TRUE(starter.Start(dir.File("tarvane"), {}));
    ASSERT_TRUE(
        SpinUntil([&] { return std::filesystem::exists(dir.File("data/applications/tarvane-url-handler.desktop")); }));
    {
        RecordingSender sender;
        RecordingNotices notices;
        WebBrowserView* view = nullptr;
        BrowserDialog dialog(BrowserSetup{dir.File("selvik"), page}, BrowserPorts{starter, sender, notices},
                             [&](QWidget* parent) { return view = new WebBrowserView(parent); });
        dialog.show();
        ASSERT_TRUE(SpinUntil([&] { return dialog.findChild<QLineEdit*>("address")->text().toStdString() == page; }));

        // Where the link is on the screen, then a click there.
        auto* web = qobject_cast<QWebEngineView*>(view->Widget());
        QPoint at;
        web->page()->runJavaScript(
            "(function(){var r=document.querySelector('a[href^=\"tarvane:\"]').getBoundingClientRect();"
            "return [r.left+r.width/2, r.top+r.height/2];})()",
            [&](const QVariant& result) {
                QVariantList xy = result.toList();
                at = xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint(-1, -1);
            });
        ASSERT_TRUE(SpinUntil([&] { return !at.isNull(); }));
        ASSERT_GE(at.x(), 0);
        QTest::mouseClick(web->focusProxy(), Qt::LeftButton, {}, at);

        EXPECT_TRUE(SpinUntil(
            [&] {
                return tarvane::test::ReadFile(dir.File("download.xml")).find(page) != std::string::npos ||
                       tarvane::test::ReadFile(dir.File("completed.xml")).find(page) != std::string::npos;
            },
            std::chrono::seconds(60)));
        auto programs = starter.Programs();
        EXPECT_NE(std::find(programs.begin(), programs.end(), "xdg-open"), programs.end());
        EXPECT_TRUE(sender.records.empty());
    }
}

}  // namespace
}  // namespace selvik::test
