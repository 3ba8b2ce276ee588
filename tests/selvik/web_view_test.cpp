#include <gtest/gtest.h>

#include <QLineEdit>

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
    EXPECT_EQ(started[0].first, "/opt/games/selvik");
    EXPECT_EQ(started[0].second, std::vector<std::string>{other});
    ASSERT_TRUE(SpinUntil([&] { return browser.completed > 0; }));
    EXPECT_EQ(browser.view->LocationUrl().toStdString(), site.Url("/popup.htm"));
    EXPECT_EQ(site.RequestCount("/other.htm"), 0);
}

}  // namespace
}  // namespace selvik::test
