// The game browser window on a fake page view, and the delivery of its links to tarvane.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <ostream>

#include "platform/codepage.h"
#include "platform/link_handoff.h"
#include "selvik/browser_dialog.h"
#include "selvik/browser_view.h"
#include "selvik/link_delivery.h"
#include "selvik/link_sender.h"
#include "selvik/notices.h"
#include "tests/support/fakes.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace selvik::test {
namespace {

using platform::HandoffResult;
using tarvane::test::RecordingStarter;
using namespace std::chrono_literals;

// A page view that records what the window asks of it; the test plays the page's part.
class FakeBrowserView : public BrowserView {
public:
    explicit FakeBrowserView(QWidget* parent) : BrowserView(parent), widget_(new QWidget(parent)) {}

    QWidget* Widget() override { return widget_; }
    void Navigate(const QString& address) override { calls << "navigate " + address; }
    void GoBack() override { calls << "back"; }
    void GoForward() override { calls << "forward"; }
    void Stop() override { calls << "stop"; }
    void Refresh() override { calls << "refresh"; }
    QString LocationUrl() const override { return location; }

    // A document finished loading with the top-level document at `at`.
    void Complete(const QString& at) {
        location = at;
        emit DocumentComplete();
    }

    QStringList calls;
    QString location;

private:
    QWidget* widget_;
};
struct RecordingSender : LinkSender {
    void Send(std::string encodedRecord) override { records.push_back(std::move(encodedRecord)); }
    std::vector<std::string> records;
};

struct RecordingNotices : Notices {
    void Show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// The window on a fake page view, with recording ports.
struct FakeBrowser {
    explicit FakeBrowser(const std::string& startAddress, const std::string& executable = "/opt/games/selvik")
        : dialog(BrowserSetup{executable, startAddress, {"official.test", "portal.test:81", "mini.test:82", "test"}},
                 BrowserPorts{starter, sender, notices},
                 [this](QWidget* parent) { return view = new FakeBrowserView(parent); }) {}
    void Click(const char* button) { dialog.findChild<QPushButton*>(button)->click(); }
    QLineEdit* Edit(const char* name) { return dialog.findChild<QLineEdit*>(name); }

    RecordingStarter starter;
    RecordingSender sender;
    RecordingNotices notices;
    FakeBrowserView* view = nullptr;
    BrowserDialog dialog;
};

TEST(BrowserDialogTest, ButtonsAndEditsDriveThePageViewAndTheWindowShowsWhatItReports) {
    EXPECT_EQ(FakeBrowser("").view->calls, QStringList{"navigate http://portal.test:81/?selvik"});
    // The whole command line, blanks included, is the address.
    FakeBrowser browser(platform::AnsiFromUtf8(" http://game.test/搜索 a b "),
                        platform::AnsiFromUtf8("/opt/游戏/selvik"));
    EXPECT_EQ(browser.view->calls, QStringList{"navigate  http://game.test/搜索 a b "});
    browser.dialog.show();
    browser.view->calls.clear();
    for (const char* name : {"back", "forward", "stop", "refresh", "home", "minigames"}) {
        browser.Click(name);
    }
    auto* address = browser.Edit("address");
    address->setText("http://game.test/typed");
    browser.Click("go");
    // Enter in the search box navigates to the address too: "转到" is the window's default button.
    QTest::keyClick(browser.Edit("search"), Qt::Key_Return);
    QString home = "navigate http://portal.test:81/?selvik, ";
    EXPECT_EQ(browser.view->calls.join(", "), "back, forward, stop, refresh, " + home + home +
                                                  "stop, navigate http://game.test/typed, stop, "
                                                  "navigate http://game.test/typed");

    // The address box follows the top-level document, but never to an empty page.
    for (const char* location : {"http://game.test/game/1102.htm", "about:blank", ""}) {
        browser.view->Complete(location);
        EXPECT_EQ(address->text(), "http://game.test/game/1102.htm") << location;
    }
    browser.view->Complete("http://game.test/dispenseUrl/11.htm");
    EXPECT_EQ(address->text(), "http://game.test/dispenseUrl/11.htm");

    EXPECT_EQ(browser.dialog.windowTitle(), "glimra");
    emit browser.view->TitleChanged(QString::fromUtf8("连连看 - 游戏门户"));
    EXPECT_EQ(browser.dialog.windowTitle(), QString::fromUtf8("连连看 - 游戏门户 - Quellora游戏选择端"));
    emit browser.view->StatusTextChanged("http://game.test/game/902.htm");
    EXPECT_EQ(browser.dialog.findChild<QLabel*>("status")->text(), "http://game.test/game/902.htm");

    // Search and new windows start another selvik, scheme links go to the desktop; this window stays.
    browser.view->calls.clear();
    // Blanks, Chinese and "&" follow "keywords=" as typed.
    browser.Edit("search")->setText(QString::fromUtf8("星际 猎手&x"));
    browser.Click("searchGo");
    emit browser.view->NewWindowRequested("http://game.test/popup.htm?a=%20b");
    emit browser.view->DesktopLinkClicked("tarvane:%3Ehttp://game.test/1.htm%3C");
    emit browser.view->DesktopLinkClicked("-x:y");
    std::vector<tarvane::test::StartedProgram> expected{
        {"/opt/游戏/selvik", {"http://mini.test:82/search_fromSoft/?keywords=星际 猎手&x"}},
        {"/opt/游戏/selvik", {"http://game.test/popup.htm?a=%20b"}},
        {"xdg-open", {"tarvane:%3Ehttp://game.test/1.htm%3C"}}};
    auto started = browser.starter.Started();
    ASSERT_EQ(started.size(), expected.size());
    for (std::size_t i = 0; i < started.size(); ++i) {
        EXPECT_EQ(started[i].program, expected[i].program);
        EXPECT_EQ(started[i].arguments, expected[i].arguments);
    }
    EXPECT_TRUE(browser.view->calls.empty());
}

TEST(BrowserDialogTest, DownloadHandsTheShownAddressOverAndRefusesWhatTheRecordCannotHold) {
    FakeBrowser browser("http://game.test/");
    const auto& records = browser.sender.records;
    auto lastRecord = [&] {
        return platform::DecodeLinkHandoff(records.back()).value_or(platform::LinkHandoffRecord{});
    };
    browser.view->Complete("http://game.test/game/1102.htm");
    browser.Click("download");
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].size(), platform::kLinkHandoffRecordSize);
    platform::LinkHandoffRecord record = lastRecord();
    EXPECT_EQ(record.link, "http://game.test/game/1102.htm");
    EXPECT_EQ(record.name + record.agent, "");
    EXPECT_EQ(record.useDefaultProxy, 0);

    // The record holds 259 bytes of code page 936, where a Chinese character takes two; more are refused
    // with a message rather than cut to another page's address. A character code page 936 lacks is sent
    // encoded, not as "?".
    std::string fits = "http://game.test/" + std::string(242, 'a');
    QString chinese = "http://g.test/" + QString(120, QChar(0x6E38));
    const std::pair<QString, std::string> cases[] = {
        {QString::fromStdString(fits), fits},
        {QString::fromStdString(fits + "a"), ""},
        {chinese, platform::AnsiFromUtf8(chinese.toStdString())},
        {QString::fromUtf8("http://g.test/\xF0\x9F\x8E\xAE.htm"), "http://g.test/%F0%9F%8E%AE.htm"}};
    for (const auto& [shown, sent] : cases) {
        std::size_t before = records.size();
        browser.Edit("address")->setText(shown);
        browser.Click("download");
        ASSERT_EQ(records.size(), before + (sent.empty() ? 0 : 1)) << shown.toStdString();
        EXPECT_EQ(sent.empty() ? "" : lastRecord().link, sent);
    }
    ASSERT_EQ(browser.notices.shown.size(), 1u);
    EXPECT_NE(platform::Utf8FromAnsi(browser.notices.shown[0]).find("259"), std::string::npos);
}

// Answers NoReceiver `absentFor` times, then `then`; records what it was given.
struct ScriptedChannel : HandoffChannel {
    ScriptedChannel(int misses, HandoffResult last) : absentFor(misses), then(last) {}
    HandoffResult Send(const std::string& encodedRecord) override {
        records.push_back(encodedRecord);
        return static_cast<int>(records.size()) <= absentFor ? HandoffResult::NoReceiver : then;
    }
    int absentFor;
    HandoffResult then;
    std::vector<std::string> records;
};

struct CountingWaiter : Waiter {
    void Wait(std::chrono::milliseconds duration) override { waits.push_back(duration); }
    std::vector<std::chrono::milliseconds> waits;
};

// A running tarvane takes the record at once; otherwise tarvane is started and looked for every 100 ms
// for up to 10 s. A failed start or a broken connection ends the delivery: the link is not sent again.
TEST(LinkDelivery, StartsTarvaneWhenNoneListensAndLooksForItForTenSeconds) {
    struct Case {
        int absentFor;
        HandoffResult then;
        bool startWorks;
        DeliveryOutcome outcome;
        std::size_t starts;
        std::size_t waits;
    };
    const Case cases[] = {
        {0, HandoffResult::Delivered, true, DeliveryOutcome::Delivered, 0, 0},
        // Listening after 3.1 s: long past a single look at 500 ms.
        {31, HandoffResult::Delivered, true, DeliveryOutcome::Delivered, 1, 31},
        {1000, HandoffResult::Delivered, true, DeliveryOutcome::NoReceiver, 1, 100},
        {1000, HandoffResult::Delivered, false, DeliveryOutcome::NotStarted, 1, 0},
        {5, HandoffResult::Failed, true, DeliveryOutcome::Failed, 1, 5},
    };
    std::string record = HandoffRecordFor("http://game.test/game/2.htm").value();
    for (const Case& c : cases) {
        ScriptedChannel channel(c.absentFor, c.then);
        RecordingStarter starter;
        starter.result = c.startWorks;
        CountingWaiter waiter;
        EXPECT_EQ(DeliverLink(record, "/opt/游戏/tarvane", {channel, starter, waiter}), c.outcome) << c.absentFor;
        EXPECT_EQ(waiter.waits, std::vector<std::chrono::milliseconds>(c.waits, 100ms)) << c.absentFor;
        EXPECT_EQ(channel.records, std::vector<std::string>(c.waits + 1, record)) << c.absentFor;
        EXPECT_EQ(starter.Programs(), std::vector<std::string>(c.starts, "/opt/游戏/tarvane")) << c.absentFor;
    }
}

}  // namespace
}  // namespace selvik::test
