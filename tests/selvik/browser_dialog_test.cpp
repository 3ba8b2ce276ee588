#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "platform/codepage.h"
#include "platform/link_handoff.h"
#include "tests/selvik/selvik_fakes.h"

namespace selvik::test {
namespace {

class BrowserDialogTest : public ::testing::Test {
protected:
    BrowserDialogTest() {
        environment_.Set("TARVANE_PORTAL_HOST", "portal.test:81");
        environment_.Set("TARVANE_MINIGAME_HOST", "mini.test:82");
    }

    template <typename T>
    static T* Child(FakeBrowser& browser, const char* name) {
        T* child = browser.dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Click(FakeBrowser& browser, const char* name) { Child<QPushButton>(browser, name)->click(); }

    ScopedEnvironment environment_;
};

TEST_F(BrowserDialogTest, OpensTheCommandLineOrTheHomePage) {
    FakeBrowser plain("");
    EXPECT_EQ(plain.view->calls, std::vector<QString>{"navigate http://portal.test:81/?selvik"});

    // The whole command line, blanks included, is the address.
    FakeBrowser given(platform::AnsiFromUtf8(" http://game.test/搜索 a b "));
    EXPECT_EQ(given.view->calls, std::vector<QString>{"navigate  http://game.test/搜索 a b "});
}

TEST_F(BrowserDialogTest, ButtonsDriveThePageView) {
    FakeBrowser browser("http://game.test/");
    browser.dialog->show();
    browser.view->calls.clear();
    Click(browser, "back");
    Click(browser, "forward");
    Click(browser, "stop");
    Click(browser, "refresh");
    Click(browser, "home");
    // Laid out with no size, so no user reaches it; it goes home all the same.
    auto* minigames = Child<QPushButton>(browser, "minigames");
    EXPECT_TRUE(minigames->geometry().isEmpty());
    minigames->click();
    Child<QLineEdit>(browser, "address")->setText("http://game.test/typed");
    Click(browser, "go");
    // Enter in the search box navigates to the address too: "转到" is the window's default button.
    QTest::keyClick(Child<QLineEdit>(browser, "search"), Qt::Key_Return);

    std::vector<QString> expected{"back",
                                  "forward",
                                  "stop",
                                  "refresh",
                                  "navigate http://portal.test:81/?selvik",
                                  "navigate http://portal.test:81/?selvik",
                                  "stop",
                                  "navigate http://game.test/typed",
                                  "stop",
                                  "navigate http://game.test/typed"};
    EXPECT_EQ(browser.view->calls, expected);
    EXPECT_TRUE(browser.starter.Started().empty());
}

TEST_F(BrowserDialogTest, AddressBoxFollowsTheTopLevelDocumentButNeverAboutBlank) {
    FakeBrowser browser("http://game.test/");
    auto* address = Child<QLineEdit>(browser, "address");
    browser.view->Complete("http://game.test/game/1102.htm");
    EXPECT_EQ(address->text(), "http://game.test/game/1102.htm");
    browser.view->Complete("about:blank");
    EXPECT_EQ(address->text(), "http://game.test/game/1102.htm");
    browser.view->Complete("");
    EXPECT_EQ(address->text(), "http://game.test/game/1102.htm");
    browser.view->Complete("http://game.test/dispenseUrl/11.htm");
    EXPECT_EQ(address->text(), "http://game.test/dispenseUrl/11.htm");
}

TEST_F(BrowserDialogTest, CaptionAndStatusLineFollowThePage) {
    FakeBrowser browser("http://game.test/");
    EXPECT_EQ(browser.dialog->windowTitle(), "glimra");
    emit browser.view->TitleChanged(QString::fromUtf8("连连看 - 游戏门户"));
    EXPECT_EQ(browser.dialog->windowTitle(), QString::fromUtf8("连连看 - 游戏门户 - Quellora游戏选择端"));

    auto* status = Child<QLabel>(browser, "status");
    emit browser.view->StatusTextChanged("http://game.test/game/902.htm");
    EXPECT_EQ(status->text(), "http://game.test/game/902.htm");
    emit browser.view->StatusTextChanged("");
    EXPECT_EQ(status->text(), "");
}

TEST_F(BrowserDialogTest, SearchAndNewWindowsStartAnotherSelvikAndSchemeLinksGoToTheDesktop) {
    FakeBrowser browser("http://game.test/", platform::AnsiFromUtf8("/opt/游戏/selvik"));
    browser.view->calls.clear();
    // Blanks, Chinese and "&" follow "keywords=" as typed.
    Child<QLineEdit>(browser, "search")->setText(QString::fromUtf8("星际 猎手&x"));
    Click(browser, "searchGo");
    emit browser.view->NewWindowRequested("http://game.test/popup.htm?a=%20b");
    emit browser.view->DesktopLinkClicked("tarvane:%3Ehttp://game.test/1.htm%3C");
    emit browser.view->DesktopLinkClicked("-x:y");

    auto started = browser.starter.Started();
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[2].program, "xdg-open");
    EXPECT_EQ(started[2].arguments, std::vector<std::string>{"tarvane:%3Ehttp://game.test/1.htm%3C"});
    EXPECT_EQ(started[0].program, "/opt/游戏/selvik");
    EXPECT_EQ(started[0].arguments,
              std::vector<std::string>{"http://mini.test:82/search_fromSoft/?keywords=星际 猎手&x"});
    EXPECT_EQ(started[1].program, "/opt/游戏/selvik");
    EXPECT_EQ(started[1].arguments, std::vector<std::string>{"http://game.test/popup.htm?a=%20b"});
    // This window stays where it is.
    EXPECT_TRUE(browser.view->calls.empty());
}

TEST(BrowserPlacement, FrameAndTitleBarLieOnTheWorkArea) {
    QRect work(0, 30, 1280, 690);
    EXPECT_EQ(ClientRectInWorkArea(work, 1280, QMargins(4, 24, 4, 4)), QRect(4, 54, 1272, 662));
    EXPECT_EQ(ClientRectInWorkArea(work, 1280, QMargins()), work);
}

TEST_F(BrowserDialogTest, RightClickSelectsAllOfEitherEdit) {
    FakeBrowser browser("http://game.test/");
    for (const char* name : {"address", "search"}) {
        auto* edit = Child<QLineEdit>(browser, name);
        edit->setText("http://game.test/some/page.htm");
        edit->deselect();
        QPointF at(5, 5);
        QMouseEvent release(QEvent::MouseButtonRelease, at, edit->mapToGlobal(at), Qt::RightButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(edit, &release);
        EXPECT_EQ(edit->selectedText(), edit->text()) << name;
        EXPECT_EQ(browser.dialog->focusWidget(), edit) << name;
    }
    // A left click does not.
    auto* address = Child<QLineEdit>(browser, "address");
    address->deselect();
    QPointF at(5, 5);
    QMouseEvent left(QEvent::MouseButtonRelease, at, address->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(address, &left);
    EXPECT_TRUE(address->selectedText().isEmpty());
}

platform::LinkHandoffRecord Decoded(const std::string& bytes) {
    auto record = platform::DecodeLinkHandoff(bytes);
    EXPECT_TRUE(record.has_value());
    return record.value_or(platform::LinkHandoffRecord{});
}

TEST_F(BrowserDialogTest, DownloadHandsTheShownAddressOverAndRefusesWhatTheRecordCannotHold) {
    FakeBrowser browser("http://game.test/");
    auto* address = Child<QLineEdit>(browser, "address");
    browser.view->Complete("http://game.test/game/1102.htm");
    Click(browser, "download");
    ASSERT_EQ(browser.sender.records.size(), 1u);
    ASSERT_EQ(browser.sender.records[0].size(), platform::kLinkHandoffRecordSize);
    platform::LinkHandoffRecord record = Decoded(browser.sender.records[0]);
    EXPECT_EQ(record.link, "http://game.test/game/1102.htm");
    EXPECT_EQ(record.name, "");
    EXPECT_EQ(record.agent, "");
    EXPECT_EQ(record.useDefaultProxy, 0);

    // 259 bytes fit; 260 are refused with a message rather than cut to another page's address.
    std::string base = "http://game.test/";
    address->setText(QString::fromStdString(base + std::string(259 - base.size(), 'a')));
    Click(browser, "download");
    ASSERT_EQ(browser.sender.records.size(), 2u);
    EXPECT_EQ(Decoded(browser.sender.records[1]).link.size(), 259u);
    EXPECT_TRUE(browser.notices.shown.empty());
    address->setText(QString::fromStdString(base + std::string(260 - base.size(), 'a')));
    Click(browser, "download");
    EXPECT_EQ(browser.sender.records.size(), 2u);
    ASSERT_EQ(browser.notices.shown.size(), 1u);
    EXPECT_NE(platform::Utf8FromAnsi(browser.notices.shown[0]).find("259"), std::string::npos);

    // The limit counts code page 936 bytes: 120 Chinese characters are 360 bytes in UTF-8, 240 here.
    std::string chinese;
    for (int i = 0; i < 120; ++i) {
        chinese += "游";
    }
    address->setText(QString::fromStdString("http://g.test/" + chinese));
    Click(browser, "download");
    ASSERT_EQ(browser.sender.records.size(), 3u);
    EXPECT_EQ(Decoded(browser.sender.records[2]).link, platform::AnsiFromUtf8("http://g.test/" + chinese));

    // A character code page 936 lacks is sent encoded, not as "?".
    address->setText(QString::fromUtf8("http://g.test/\xF0\x9F\x8E\xAE.htm"));
    Click(browser, "download");
    ASSERT_EQ(browser.sender.records.size(), 4u);
    EXPECT_EQ(Decoded(browser.sender.records[3]).link, "http://g.test/%F0%9F%8E%AE.htm");
}

}  // namespace
}  // namespace selvik::test
