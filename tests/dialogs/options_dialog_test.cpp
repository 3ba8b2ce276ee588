#include "tarvane/dialogs/options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "dialog_fixture.h"
#include "platform/desktop_entry.h"
#include "tarvane/dialogs/task_count_text.h"
#include "tarvane/dialogs/up_down_buttons.h"

namespace tarvane::test {
namespace {

class OptionsDialogTest : public DialogTest {
protected:
    OptionsDialogTest() : autostart_(temp_.File("autostart"), "/opt/tarvane/tarvane") {}

    std::unique_ptr<OptionsDialog> Open() {
        return std::make_unique<OptionsDialog>(environment_, OptionsPorts{messages_, folders_, autostart_});
    }
    static QCheckBox* Box(const OptionsDialog& dialog, int id) { return Get<QCheckBox>(dialog, id); }
    static QLineEdit* Edit(const OptionsDialog& dialog, int id) { return Get<QLineEdit>(dialog, id); }

    XdgAutostart autostart_;
};

TEST(TaskCountTextTest, ClampsToOneToTwentyAndKeepsOtherTextAsTyped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0", "1"}, {"abc", "1"}, {"", "1"}, {"25", "20"}, {"-3", "20"}, {"20", "20"}, {"07", "07"}, {"1", "1"},
    };
    for (const auto& [typed, stored] : cases) {
        EXPECT_EQ(ClampTaskCountText(typed), stored) << typed;
    }
}

TEST_F(OptionsDialogTest, ShowsTheDefaultsAndOkStoresEveryField) {
    auto dialog = Open();
    const std::vector<int> boxes = {OptionsDialog::kIdPlayAudio, OptionsDialog::kIdCloseToStay,
                                    OptionsDialog::kIdLaunchBySys, OptionsDialog::kIdLoadDefaultProxy};
    const std::vector<int> edits = {OptionsDialog::kIdMaxTasks,  OptionsDialog::kIdDefaultPath,
                                    OptionsDialog::kIdProxyHost, OptionsDialog::kIdProxyPort,
                                    OptionsDialog::kIdProxyUser, OptionsDialog::kIdProxyPassword};
    const auto shown = [&](const OptionsDialog& d) {
        QStringList texts;
        for (int id : boxes) {
            texts << (Box(d, id)->isChecked() ? "on" : "off");
        }
        for (int id : edits) {
            texts << Edit(d, id)->text();
        }
        return texts;
    };
    EXPECT_EQ(shown(*dialog), (QStringList{"on", "on", "off", "off", "5", QString::fromUtf8("/home/user/桌面"),
                                           "127.0.0.1", "8000", "", ""}));
    EXPECT_EQ(Edit(*dialog, OptionsDialog::kIdProxyPassword)->echoMode(), QLineEdit::Password);

    const QStringList typed = {"off",
                               "on",
                               "off",
                               "on",
                               "25",
                               QString::fromUtf8("/data/游戏"),
                               "proxy.localhost",
                               "80a",
                               QString::fromUtf8("用户"),
                               "pw"};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        Box(*dialog, boxes[i])->setChecked(typed[i] == "on");
    }
    for (std::size_t i = 0; i < edits.size(); ++i) {
        Edit(*dialog, edits[i])->setText(typed[boxes.size() + i]);
    }
    Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const std::vector<std::pair<const char*, const char*>> keys = {
        {"options", "playAudioCmp"},   {"options", "closeToStay"}, {"options", "launchBySys"},
        {"options", "loadDefaultPxy"}, {"options", "maxTaskNum"},  {"options", "defaultPath"},
        {"defaultPxy", "ip"},          {"defaultPxy", "port"},     {"defaultPxy", "userName"},
        {"defaultPxy", "userPwd"}};
    std::vector<std::string> stored;
    for (const auto& [section, key] : keys) {
        stored.push_back(Read(section, key));
    }
    EXPECT_EQ(stored, (std::vector<std::string>{"0", "1", "0", "1", "20", "/data/" + AnsiLiteral("游戏"),
                                                "proxy.localhost", "80a", AnsiLiteral("用户"), "pw"}));
    QStringList again = typed;
    again[4] = "20";
    EXPECT_EQ(shown(*Open()), again);
}

TEST_F(OptionsDialogTest, CancelAndEscapeWriteNothing) {
    auto dialog = Open();
    Box(*dialog, OptionsDialog::kIdPlayAudio)->setChecked(false);
    Edit(*dialog, OptionsDialog::kIdMaxTasks)->setText(QStringLiteral("9"));
    Get<QPushButton>(*dialog, OptionsDialog::kIdCancel)->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(std::filesystem::exists(Config()));

    const std::string before = "[options]\nmaxTaskNum=3\n";
    WriteFile(Config(), before);
    dialog = Open();
    Edit(*dialog, OptionsDialog::kIdDefaultPath)->setText(QStringLiteral("/elsewhere"));
    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(ReadFile(Config()), before);
}

TEST_F(OptionsDialogTest, ArrowsStepTheTaskCountWithinOneToTwenty) {
    auto dialog = Open();
    auto* count = Edit(*dialog, OptionsDialog::kIdMaxTasks);
    auto* arrows = Get<UpDownButtons>(*dialog, OptionsDialog::kIdMaxTasksArrows);
    // {typed, step, shown}: a text that is no number steps on from the arrows' own position.
    const std::vector<std::tuple<QString, int, QString>> steps = {{"19", 1, "20"}, {"20", 1, "20"}, {"2", -1, "1"},
                                                                  {"1", -1, "1"},  {"50", 1, "20"}, {"abc", -1, "19"}};
    for (const auto& [typed, step, expected] : steps) {
        count->setText(typed);
        (step > 0 ? arrows->UpButton() : arrows->DownButton())->click();
        EXPECT_EQ(count->text(), expected) << typed.toStdString();
    }
    QTest::keyClick(count, Qt::Key_Down);
    EXPECT_EQ(count->text(), QStringLiteral("18"));
    QTest::keyClick(count, Qt::Key_Up);
    EXPECT_EQ(count->text(), QStringLiteral("19"));
}

TEST_F(OptionsDialogTest, AutostartEntryFollowsTheBoxAtOnceAndReportsWhatFails) {
    auto dialog = Open();
    auto* box = Box(*dialog, OptionsDialog::kIdLaunchBySys);
    const std::string entry = temp_.File("autostart") + "/Orkaset.desktop";
    box->click();
    EXPECT_NE(ReadFile(entry).find("\nExec=\"/opt/tarvane/tarvane\" -hide\n"), std::string::npos);
    box->click();
    EXPECT_FALSE(std::filesystem::exists(entry));
    // Removing an entry that is not there is no error.
    box->click();
    box->click();
    EXPECT_TRUE(messages_.shown.empty());
    // The setting changes only on OK.
    EXPECT_FALSE(std::filesystem::exists(Config()));
    Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
    EXPECT_EQ(Read("options", "launchBySys"), "0");

    std::filesystem::remove_all(temp_.File("autostart"));
    WriteFile(temp_.File("autostart"), "not a folder");
    WriteFile(Config(), "[options]\nlaunchBySys=1\n");
    dialog = Open();
    box = Box(*dialog, OptionsDialog::kIdLaunchBySys);
    EXPECT_TRUE(box->isChecked());
    box->click();  // off: the entry cannot be reached
    box->click();  // on: it cannot be written
    EXPECT_TRUE(box->isChecked());
    const std::string failed = AnsiLiteral("加入开机启动失败。");
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0].text, AnsiLiteral("打开注册表项失败！"));
    EXPECT_EQ(messages_.shown[1].text.substr(0, failed.size()), failed);
}

TEST(AutostartEntryTest, ExecLineQuotesTheExecutableSafely) {
    // '$', '"', '`' and '\' escaped for the Exec rules and once more for the value; '%' doubled.
    EXPECT_EQ(platform::QuotedExecArgument("/a$b\"c`d\\e%f"), "\"/a\\\\$b\\\\\"c\\\\`d\\\\\\\\e%%f\"");

    TempDir temp;
    const std::string folder = temp.File("deep/autostart");
    XdgAutostart entry(folder, "/opt/my games/tarvane");
    ASSERT_TRUE(entry.Add());
    // Writing again replaces the entry and leaves nothing else behind.
    ASSERT_TRUE(entry.Add());
    EXPECT_EQ(ReadFile(folder + "/Orkaset.desktop"),
              "[Desktop Entry]\nType=Application\nName=Orkaset\nExec=\"/opt/my games/tarvane\" -hide\n"
              "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(std::filesystem::status(folder + "/Orkaset.desktop").permissions(), std::filesystem::perms(0644));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    EXPECT_TRUE(entry.Remove());
    EXPECT_TRUE(entry.Remove());
    EXPECT_FALSE(std::filesystem::exists(folder + "/Orkaset.desktop"));
    EXPECT_FALSE(XdgAutostart(temp.File("a"), "/opt/tar\nvane").Add());
}

}  // namespace
}  // namespace tarvane::test
