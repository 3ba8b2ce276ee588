#include "tarvane/dialogs/options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "fakes.h"
#include "platform/settings_file.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tarvane/dialogs/up_down_buttons.h"
#include "tests/support/temp_dir.h"

namespace tarvane::test {
namespace {

class OptionsDialogTest : public TempDirTest {
protected:
    OptionsDialogTest() : autostart_(temp_.File("autostart"), "/opt/tarvane/tarvane") {
        environment_.programDirectory = temp_.Directory();
        environment_.applicationName = "tarvane";
        environment_.desktopFolder = "/home/user/" + AnsiLiteral("桌面");
    }

    std::unique_ptr<OptionsDialog> Open() {
        OptionsPorts ports{messages_, folders_, autostart_};
        return std::make_unique<OptionsDialog>(environment_, ports);
    }

    template <typename T>
    static T* Get(const OptionsDialog& dialog, int id) {
        T* widget = qobject_cast<T*>(dialog.Control(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }

    std::string Config() const { return temp_.File("config.ini"); }
    std::string Read(const char* section, const char* key) const {
        return platform::SettingsFile(Config()).ReadString(section, key, "<missing>", 3000);
    }
    std::string EntryFile() const { return temp_.File("autostart") + "/Orkaset.desktop"; }

    DialogEnvironment environment_;
    FakeMessages messages_;
    FakeFolderPicker folders_;
    XdgAutostart autostart_;
};

TEST_F(OptionsDialogTest, DefaultsWithoutAConfigFile) {
    auto dialog = Open();
    EXPECT_TRUE(Get<QCheckBox>(*dialog, OptionsDialog::kIdPlayAudio)->isChecked());
    EXPECT_TRUE(Get<QCheckBox>(*dialog, OptionsDialog::kIdCloseToStay)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(*dialog, OptionsDialog::kIdLaunchBySys)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(*dialog, OptionsDialog::kIdLoadDefaultProxy)->isChecked());
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdMaxTasks)->text(), QStringLiteral("5"));
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdDefaultPath)->text(), QString::fromUtf8("/home/user/桌面"));
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyHost)->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyPort)->text(), QStringLiteral("8000"));
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyUser)->text(), QString());
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyPassword)->text(), QString());
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyPassword)->echoMode(), QLineEdit::Password);
}

TEST_F(OptionsDialogTest, OkStoresEveryFieldAndClampsTheTaskCount) {
    const std::vector<std::pair<QString, std::string>> cases = {
        {"0", "1"}, {"abc", "1"}, {"", "1"}, {"25", "20"}, {"-3", "20"}, {"20", "20"}, {"07", "07"}, {"1", "1"},
    };
    for (const auto& [typed, stored] : cases) {
        auto dialog = Open();
        Get<QLineEdit>(*dialog, OptionsDialog::kIdMaxTasks)->setText(typed);
        Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
        EXPECT_EQ(Read("options", "maxTaskNum"), stored) << typed.toStdString();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }

    auto dialog = Open();
    Get<QCheckBox>(*dialog, OptionsDialog::kIdPlayAudio)->setChecked(false);
    Get<QCheckBox>(*dialog, OptionsDialog::kIdLoadDefaultProxy)->setChecked(true);
    Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyHost)->setText(QStringLiteral("proxy.localhost"));
    Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyPort)->setText(QStringLiteral("80a"));
    Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyUser)->setText(QString::fromUtf8("用户"));
    Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyPassword)->setText(QStringLiteral("pw"));
    Get<QLineEdit>(*dialog, OptionsDialog::kIdDefaultPath)->setText(QString::fromUtf8("/data/游戏"));
    Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
    EXPECT_EQ(Read("options", "playAudioCmp"), "0");
    EXPECT_EQ(Read("options", "closeToStay"), "1");
    EXPECT_EQ(Read("options", "launchBySys"), "0");
    EXPECT_EQ(Read("options", "loadDefaultPxy"), "1");
    EXPECT_EQ(Read("options", "defaultPath"), "/data/" + AnsiLiteral("游戏"));
    EXPECT_EQ(Read("defaultPxy", "ip"), "proxy.localhost");
    EXPECT_EQ(Read("defaultPxy", "port"), "80a");
    EXPECT_EQ(Read("defaultPxy", "userName"), AnsiLiteral("用户"));
    EXPECT_EQ(Read("defaultPxy", "userPwd"), "pw");

    // The next opening shows what was stored.
    auto again = Open();
    EXPECT_FALSE(Get<QCheckBox>(*again, OptionsDialog::kIdPlayAudio)->isChecked());
    EXPECT_TRUE(Get<QCheckBox>(*again, OptionsDialog::kIdLoadDefaultProxy)->isChecked());
    EXPECT_EQ(Get<QLineEdit>(*again, OptionsDialog::kIdMaxTasks)->text(), QStringLiteral("1"));
}

TEST_F(OptionsDialogTest, CancelWritesNothing) {
    auto dialog = Open();
    Get<QCheckBox>(*dialog, OptionsDialog::kIdPlayAudio)->setChecked(false);
    Get<QLineEdit>(*dialog, OptionsDialog::kIdMaxTasks)->setText(QStringLiteral("9"));
    Get<QLineEdit>(*dialog, OptionsDialog::kIdProxyHost)->setText(QStringLiteral("x"));
    Get<QPushButton>(*dialog, OptionsDialog::kIdCancel)->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(std::filesystem::exists(Config()));

    const std::string before = "[options]\nmaxTaskNum=3\n";
    WriteFile(Config(), before);
    dialog = Open();
    EXPECT_EQ(Get<QLineEdit>(*dialog, OptionsDialog::kIdMaxTasks)->text(), QStringLiteral("3"));
    Get<QLineEdit>(*dialog, OptionsDialog::kIdDefaultPath)->setText(QStringLiteral("/elsewhere"));
    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(ReadFile(Config()), before);
}

TEST_F(OptionsDialogTest, ArrowsStepTheTaskCountWithinOneToTwenty) {
    auto dialog = Open();
    auto* count = Get<QLineEdit>(*dialog, OptionsDialog::kIdMaxTasks);
    auto* arrows = Get<UpDownButtons>(*dialog, OptionsDialog::kIdMaxTasksArrows);
    count->setText(QStringLiteral("19"));
    arrows->UpButton()->click();
    EXPECT_EQ(count->text(), QStringLiteral("20"));
    arrows->UpButton()->click();
    EXPECT_EQ(count->text(), QStringLiteral("20"));
    count->setText(QStringLiteral("2"));
    QTest::keyClick(count, Qt::Key_Down);
    EXPECT_EQ(count->text(), QStringLiteral("1"));
    arrows->DownButton()->click();
    EXPECT_EQ(count->text(), QStringLiteral("1"));
    // A typed value out of range is pulled back in by the next step.
    count->setText(QStringLiteral("50"));
    QTest::keyClick(count, Qt::Key_Up);
    EXPECT_EQ(count->text(), QStringLiteral("20"));
    // Text that is no number: the arrows go on from their own position.
    count->setText(QStringLiteral("abc"));
    arrows->DownButton()->click();
    EXPECT_EQ(count->text(), QStringLiteral("19"));
}

TEST_F(OptionsDialogTest, AutostartEntryFollowsTheBox) {
    auto dialog = Open();
    auto* box = Get<QCheckBox>(*dialog, OptionsDialog::kIdLaunchBySys);
    box->click();
    ASSERT_TRUE(std::filesystem::exists(EntryFile()));
    EXPECT_NE(ReadFile(EntryFile()).find("\nExec=\"/opt/tarvane/tarvane\" -hide\n"), std::string::npos);
    box->click();
    EXPECT_FALSE(std::filesystem::exists(EntryFile()));
    // Removing an entry that is not there is no error.
    box->click();
    box->click();
    EXPECT_TRUE(messages_.shown.empty());
    // The registry-like entry changes at once, the setting only on OK.
    EXPECT_FALSE(std::filesystem::exists(Config()));
    Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
    EXPECT_EQ(Read("options", "launchBySys"), "0");
}

TEST_F(OptionsDialogTest, AutostartInAFolderThatCannotBeMadeReports) {
    WriteFile(temp_.File("autostart"), "not a folder");
    WriteFile(Config(), "[options]\nlaunchBySys=1\n");
    auto dialog = Open();
    auto* box = Get<QCheckBox>(*dialog, OptionsDialog::kIdLaunchBySys);
    EXPECT_TRUE(box->isChecked());
    box->click();  // off: the entry cannot be reached
    box->click();  // on: it cannot be written
    EXPECT_TRUE(box->isChecked());
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0].text, AnsiLiteral("打开注册表项失败！"));
    EXPECT_EQ(messages_.shown[1].text.substr(0, AnsiLiteral("加入开机启动失败。").size()),
              AnsiLiteral("加入开机启动失败。"));
}

}  // namespace
}  // namespace tarvane::test
