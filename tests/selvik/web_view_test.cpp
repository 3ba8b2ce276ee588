#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QWebEngineView>

#include "desktop/routed_page.h"

#include "selvik/web_browser_view.h"
#include "tests/selvik/selvik_fakes.h"
#include "tests/support/test_site.h"
#include "tools/demo-site/demo_site.h"

namespace selvik::test {
namespace {

// The window on the real page view, shown.
struct RealBrowser : TestBrowser<WebBrowserView> {
    explicit RealBrowser(const std::string& startAddress) : TestBrowser(startAddress) {
        QObject::connect(view, &BrowserView::DocumentComplete, [this] { ++completed; });
        dialog->show();
    }
    QString Address() const { return dialog->findChild<QLineEdit*>("address")->text(); }

    int completed = 0;
};

TEST(WebView, AddressBoxAndCaptionFollowTheDemoPortal) {
    tarvane::demo::DemoSite site(tarvane::demo::DemoSiteOptions{});
    ASSERT_GT(site.Bind(0), 0);
    site.Start();
    QString page = QString("http://game.quellora.localhost:%1/game/1102.htm").arg(site.port());

    RealBrowser browser(page.toStdString());
    ASSERT_TRUE(SpinUntil([&] { return browser.Address() == page; }));
    ASSERT_TRUE(SpinUntil([&] {
        return browser.dialog->windowTitle() == QString::fromUtf8("连连看 - Quellora 游戏门户 - Quellora游戏选择端");
    })) << browser.dialog->windowTitle().toStdString();

    // An empty page completes too, and leaves the address of the last real one in the box.
    int before = browser.completed;
    browser.view->Navigate("about:blank");
    ASSERT_TRUE(SpinUntil([&] { return browser.completed > before && browser.view->LocationUrl() == "about:blank"; }));
    EXPECT_EQ(browser.Address(), page);
    site.Stop();
}

TEST(WebView, NewWindowRequestsStartAnotherSelvikAndOpenNothingHere) {
    tarvane::test::TestSite site;
    std::string other = site.Url("/other.htm");
    site.AddFile("/other.htm", "<html><head><title>other</title></head><body>other</body></html>", "text/html");
    site.AddFile("/popup.htm",
                 "<html><head><title>popup</title></head><body>popup<script>window.open('" + other +
                     "');</script></body></html>",
                 "text/html");

    RealBrowser browser(site.Url("/popup.htm"));
    ASSERT_TRUE(SpinUntil([&] { return !browser.starter.Started().empty(); }));
    auto started = browser.starter.Started();
    EXPECT_EQ(started[0].program, "/opt/games/selvik");
    EXPECT_EQ(started[0].arguments, std::vector<std::string>{other});
    ASSERT_TRUE(SpinUntil([&] { return browser.completed > 0; }));
    EXPECT_EQ(browser.view->LocationUrl().toStdString(), site.Url("/popup.htm"));
    EXPECT_EQ(site.RequestCount("/other.htm"), 0);
}

// The page of the main window's pane: it keeps its page, and every link that would leave it goes on.
TEST(WebView, RoutedPageKeepsItsPageAndSendsLinksOn) {
    tarvane::test::TestSite site;
    site.AddFile("/other.htm", "<html><body>other</body></html>", "text/html");
    site.AddFile(
        "/nav.htm",
        "<html><body><a id='off' href='/other.htm'>a</a> <a id='blank' target='_blank' href='/other.htm'>b</a> "
        "<a id='scheme' href='tarvane:%3Ehttp://g.localhost/1.htm%3C'>c</a> <a id='here' href='#end'>d</a>"
        "<p id='end'>end</p></body></html>",
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

    // Clicked with the mouse, as a user does: a page's own script may not start programs.
    for (const char* id : {"off", "blank", "scheme", "here"}) {
        QPoint at;
        view.page()->runJavaScript(
            QString("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                    "return [r.left+r.width/2, r.top+r.height/2];})()")
                .arg(id),
            [&](const QVariant& xy) { at = QPoint(xy.toList().value(0).toInt(), xy.toList().value(1).toInt()); });
        ASSERT_TRUE(SpinUntil([&] { return !at.isNull(); }));
        std::size_t before = routed.size();
        QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, at);
        SpinUntil([&] { return routed.size() > before; }, std::chrono::seconds(id == std::string("here") ? 1 : 10));
    }
    EXPECT_EQ(routed, (std::vector<std::string>{"off " + site.Url("/other.htm"), "new " + site.Url("/other.htm"),
                                                "desktop tarvane:%3Ehttp://g.localhost/1.htm%3C"}));
    EXPECT_EQ(view.url().toString(QUrl::RemoveFragment).toStdString(), site.Url("/nav.htm"));
    EXPECT_EQ(site.RequestCount("/other.htm"), 0);
}

}  // namespace
}  // namespace selvik::test
