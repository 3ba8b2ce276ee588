// The real page view: on local sites, and end to end with the real tarvane as a second process.
#include <gtest/gtest.h>
#include <signal.h>

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QWebEngineView>
#include <atomic>
#include <filesystem>

#include "desktop/routed_page.h"

#include "platform/codepage.h"
#include "platform/link_handoff.h"
#include "selvik/browser_dialog.h"
#include "selvik/link_delivery.h"
#include "selvik/link_sender.h"
#include "selvik/notices.h"
#include "selvik/web_browser_view.h"
#include "tests/support/fakes.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "tools/demo-site/demo_site.h"
#include "tools/demo-site/sha256.h"

namespace selvik::test {
namespace {

using namespace std::chrono_literals;
using tarvane::test::ReadFile;
using tarvane::test::SpinUntil;

// Where the middle of the element `selector` finds lies in the view, for a click there as a user's:
// a page's own script may not start programs.
QPoint CentreOf(QWebEnginePage* page, const QString& selector) {
    QPoint at;
    page->runJavaScript(
        QString("(function(){var r=document.querySelector('%1').getBoundingClientRect();"
                "return [r.left+r.width/2, r.top+r.height/2];})()")
            .arg(selector),
        [&](const QVariant& xy) { at = QPoint(xy.toList().value(0).toInt(), xy.toList().value(1).toInt()); });
    EXPECT_TRUE(SpinUntil([&] { return !at.isNull(); })) << selector.toStdString();
    return at;
}

// The page of the main window's pane: it keeps its page, and every link that would leave it goes on,
// once per click of the user; what the page's script opens or clicks by itself goes nowhere.
TEST(WebView, RoutedPageKeepsItsPageAndSendsLinksOnForTheUsersClicksOnly) {
    tarvane::test::TestSite site;
    std::string other = site.Url("/other.htm");
    site.AddFile("/other.htm", "<html><body>other</body></html>", "text/html");
    site.AddFile("/nav.htm",
                 "<html><body><a id='off' href='/other.htm'>a</a> <a id='blank' target='_blank' "
                 "href='/other.htm'>b</a> <a id='app' href='tarvane:x'>c</a> <button id='many' "
                 "onclick='for(var i=0;i<5;i++)window.open(\"/other.htm\")'>d</button><script>function flood(){"
                 "for(var i=0;i<30;i++)window.open('/other.htm');"
                 "for(var i=0;i<20;i++)document.querySelectorAll('a')[i%3].click();}</script></body></html>",
                 "text/html");
    std::vector<std::string> routed;
    auto note = [&](const char* route) {
        return [&routed, route](const QUrl& url) {
            routed.push_back(route + url.toString(QUrl::FullyEncoded).toStdString());
        };
    };
    QWebEngineView view;
    view.setPage(new tarvane::RoutedPage({note("desktop "), note("off "), note("new ")}, &view));
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.load(QUrl(QString::fromStdString(site.Url("/nav.htm"))));
    view.show();
    ASSERT_TRUE(SpinUntil([&] { return loaded; }));
    bool flooded = false;
    view.page()->runJavaScript("flood()", [&](const QVariant&) { flooded = true; });
    ASSERT_TRUE(SpinUntil([&] { return flooded; }));
    SpinUntil([] { return false; }, 1s);  // the flood's requests arrive
    for (const char* id : {"#off", "#blank", "#many"}) {
        std::size_t before = routed.size();
        QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, CentreOf(view.page(), id));
        SpinUntil([&] { return routed.size() > before; }, 10s);
    }
    SpinUntil([&] { return routed.size() > 3; }, 1s);  // the button's later windows, if any
    EXPECT_EQ(routed, (std::vector<std::string>{"off " + other, "new " + other, "new " + other}));
    EXPECT_EQ(site.RequestCount("/other.htm"), 0);
}

// Starts programs for real, in `environment`, and records them. What still runs `ends` when the object
// ends is killed, also after a failed assertion.
struct SystemStarter : tarvane::test::RecordingStarter {
    explicit SystemStarter(std::string program) : ends(std::move(program)) {}
    ~SystemStarter() override {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::error_code error;
            if (std::filesystem::read_symlink(entry.path() / "exe", error) == ends) {
                pid_t pid = std::stoi(entry.path().filename());
                kill(pid, SIGKILL);
                SpinUntil([pid] { return kill(pid, 0) != 0; });
            }
        }
    }
    bool Start(const std::string& program, const std::vector<std::string>& arguments) override {
        RecordingStarter::Start(program, arguments);
        QProcess process;
        process.setProgram(QString::fromStdString(program));
        for (const std::string& argument : arguments) {
            process.setArguments(process.arguments() << QString::fromStdString(argument));
        }
        process.setProcessEnvironment(environment);
        return process.startDetached();
    }
    std::string ends;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

struct RecordingNotices : Notices {
    void Show(const std::string& text) override { shown.push_back(platform::Utf8FromAnsi(text)); }
    std::vector<std::string> shown;
};

// selvik shows a demo game's page; "下载" with no tarvane running starts the real tarvane from the
// program directory, hands the page over, and the game arrives intact in the download folder. Then a
// click on the portal's "用 tarvane 下载" link of another game goes through the desktop (xdg-open and the
// link handler the running tarvane registered) to that tarvane, which takes the task. Its "直接下载" and
// the page menu's "保存页面" save nothing and say why.
TEST(EndToEnd, SelvikHandsPagesToTarvaneByItsButtonAndByThePortalsLink) {
    tarvane::test::TempDir dir;
    std::filesystem::copy_file(TARVANE_BINARY, dir.File("tarvane"));
    tarvane::test::WriteFile(dir.File("updater"), "#!/bin/sh\n");
    std::filesystem::permissions(dir.File("updater"), std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir.File("saved"));
    std::filesystem::create_directories(dir.File("runtime"));
    tarvane::test::WriteFile(dir.File("config.ini"), "[options]\ndefaultPath=" + dir.File("saved") + "\n");
    tarvane::demo::DemoSite site{tarvane::demo::DemoSiteOptions{}};
    ASSERT_GT(site.Bind(0), 0);
    site.Start();
    SystemStarter starter(dir.File("tarvane"));
    auto set = [&](const char* name, const std::string& value) {
        starter.environment.insert(name, QString::fromStdString(value));
    };
    set("XDG_RUNTIME_DIR", dir.File("runtime"));
    set("XDG_DATA_HOME", dir.File("data"));
    set("XDG_CONFIG_HOME", dir.File("config"));
    set("TARVANE_WEB_PANE", "0");
    set("TARVANE_OFFICIAL_HOST", "www.quellora.localhost:" + std::to_string(site.port()));
    // xdg-open without a desktop environment asks the user's handlers only when it sees a display.
    set("DISPLAY", ":tarvane-test");
    set("XDG_CURRENT_DESKTOP", "");
    auto holds = [&](const char* file, const std::string& text) {
        return ReadFile(dir.File(file)).find(text) != std::string::npos;
    };

    const tarvane::demo::Game& game = *tarvane::demo::FindGame(1102);
    std::string page = site.links().portal + tarvane::demo::GamePagePath(game);
    std::string otherPage = site.links().portal + tarvane::demo::GamePagePath(*tarvane::demo::FindGame(1104));
    SocketHandoffChannel channel(dir.File("runtime/tarvane/Quellora"));
    SleepingWaiter waiter;
    std::atomic<int> outcome{-1};
    RecordingNotices notices;
    {
        BackgroundLinkSender sender([&](const std::string& record) {
            outcome = static_cast<int>(DeliverLink(record, dir.File("tarvane"), {channel, starter, waiter}));
        });
        WebBrowserView* view = nullptr;
        BrowserDialog dialog(BrowserSetup{dir.File("selvik"), page}, BrowserPorts{starter, sender, notices},
                             [&](QWidget* parent) { return view = new WebBrowserView(parent); });
        dialog.show();
        auto* address = dialog.findChild<QLineEdit*>("address");
        ASSERT_TRUE(SpinUntil([&] { return address->text().toStdString() == page; }));
        dialog.findChild<QPushButton*>("download")->click();

        EXPECT_TRUE(SpinUntil([&] { return outcome.load() >= 0; }, 60s));
        EXPECT_EQ(outcome.load(), static_cast<int>(DeliveryOutcome::Delivered));
        EXPECT_EQ(starter.Programs(), std::vector<std::string>{dir.File("tarvane")});
        // Saved under the name the parse service gives: the game's name.
        EXPECT_TRUE(SpinUntil([&] { return holds("completed.xml", page); }, 90s));
        EXPECT_EQ(tarvane::demo::Sha256Hex(ReadFile(dir.File("saved/" + std::string(game.name) + ".zip"))),
                  site.FileSha256(game));

        ASSERT_TRUE(SpinUntil(
            [&] { return std::filesystem::exists(dir.File("data/applications/tarvane-url-handler.desktop")); }));
        view->Navigate(QString::fromStdString(otherPage));
        ASSERT_TRUE(SpinUntil([&] { return address->text().toStdString() == otherPage; }));
        auto* web = qobject_cast<QWebEngineView*>(view->Widget());
        QTest::mouseClick(web->focusProxy(), Qt::LeftButton, {}, CentreOf(web->page(), "a[href^=\"tarvane:\"]"));
        EXPECT_TRUE(
            SpinUntil([&] { return holds("download.xml", otherPage) || holds("completed.xml", otherPage); }, 60s));
        // Through the desktop, not through "下载".
        EXPECT_EQ(starter.Programs(), (std::vector<std::string>{dir.File("tarvane"), "xdg-open"}));
        EXPECT_TRUE(notices.shown.empty());
        QTest::mouseClick(web->focusProxy(), Qt::LeftButton, {}, CentreOf(web->page(), "a.plain"));
        ASSERT_TRUE(SpinUntil([&] { return notices.shown.size() == 1; }, 10s));
        web->page()->triggerAction(QWebEnginePage::SavePage);
        ASSERT_TRUE(SpinUntil([&] { return notices.shown.size() == 2; }, 10s));
        EXPECT_NE(notices.shown[0].find("“下载”"), std::string::npos) << notices.shown[0];
        EXPECT_NE(notices.shown[1].find("不保存网页"), std::string::npos) << notices.shown[1];
    }
}

}  // namespace
}  // namespace selvik::test
