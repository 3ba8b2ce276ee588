#include "tarvane/dialogs/options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "dialog_fixture.h"
#include "platform/desktop_entry.h"
#include "platform/settings.h"
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
    // A box reads "on" or "off", an edit its text.
    static QString Shown(const OptionsDialog& dialog, int id) {
        if (auto* box = qobject_cast<QCheckBox*>(dialog.Control(id))) {
            return box->isChecked() ? "on" : "off";
        }
        return Edit(dialog, id)->text();
    }
    static void Type(const OptionsDialog& dialog, int id, const QString& text) {
        if (auto* box = qobject_cast<QCheckBox*>(dialog.Control(id))) {
            box->setChecked(text == "on");
        } else {
            Edit(dialog, id)->setText(text);
        }
    }

    XdgAutostart autostart_;
};

TEST(TaskCountTextTest, ClampsToOneToTwentyAndKeepsOtherTextAsTyped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0", "1"}, {"abc", "1"}, {"25", "20"}, {"-3", "20"}, {"07", "07"},
    };
    for (const auto& [typed, stored] : cases) {
        EXPECT_EQ(ClampTaskCountText(typed), stored) << typed;
    }
}

TEST_F(OptionsDialogTest, ShowsTheDefaultsAndOkStoresEveryFieldInOneSaveOrSaysWhyNot) {
    struct Field {
        int id;
        QString shown;  // without a config.ini
        QString typed;
        const char* section;
        const char* key;
        std::string stored;
    };
    const std::vector<Field> fields = {
        {OptionsDialog::kIdPlayAudio, "on", "off", "options", "playAudioCmp", "0"},
        {OptionsDialog::kIdCloseToStay, "on", "on", "options", "closeToStay", "1"},
        {OptionsDialog::kIdLaunchBySys, "off", "off", "options", "launchBySys", "0"},
        {OptionsDialog::kIdLoadDefaultProxy, "off", "on", "options", "loadDefaultPxy", "1"},
        {OptionsDialog::kIdAutoExtract, "on", "off", "options", "autoExtract", "0"},
        {OptionsDialog::kIdDeleteArchive, "off", "on", "options", "deleteArchiveAfterExtract", "1"},
        {OptionsDialog::kIdMaxTasks, "5", "7", "options", "maxTaskNum", "7"},
        {OptionsDialog::kIdMaxConnections, "8", "12", "options", "maxConnections", "12"},
        {OptionsDialog::kIdMaxConnectionsPerHost, "16", "24", "options", "maxConnectionsPerHost", "24"},
        {OptionsDialog::kIdMaxSpeed, "0", "300", "options", "maxSpeed", "300"},
        {OptionsDialog::kIdDefaultPath, QString::fromUtf8("/home/user/桌面"), QString::fromUtf8("/data/游戏"),
         "options", "defaultPath", "/data/" + AnsiLiteral("游戏")},
        {OptionsDialog::kIdProxyHost, "127.0.0.1", "proxy.localhost", "defaultPxy", "ip", "proxy.localhost"},
        {OptionsDialog::kIdProxyPort, "8000", "80a", "defaultPxy", "port", "80a"},
        {OptionsDialog::kIdProxyUser, "", QString::fromUtf8("用户"), "defaultPxy", "userName", AnsiLiteral("用户")},
        {OptionsDialog::kIdProxyPassword, "", "pw", "defaultPxy", "userPwd", "pw"},
    };
    auto dialog = Open();
    for (const Field& field : fields) {
        EXPECT_EQ(Shown(*dialog, field.id), field.shown) << field.key;
        Type(*dialog, field.id, field.typed);
    }
    // Room for a few keys only: nothing is stored, the dialog says so and stays with what was typed.
    auto* ok = Get<QPushButton>(*dialog, OptionsDialog::kIdOk);
    WithFilesLimitedTo(60, [&] { ok->click(); });
    EXPECT_FALSE(std::filesystem::exists(Config()));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{AnsiLiteral("设置无法保存：无法写入 ") + Config() +
                                                       AnsiLiteral("（磁盘已满）。")});
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    ok->click();
    // The next opening shows what was stored.
    dialog = Open();
    for (const Field& field : fields) {
        EXPECT_EQ(Read(field.section, field.key), field.stored) << field.key;
        EXPECT_EQ(Shown(*dialog, field.id), field.typed) << field.key;
    }

    // The limits take only what they can store as typed, in the ranges shown beside them: a sign or a
    // digit too many cannot be typed, and a number outside the range is said instead of stored.
    auto typed = [&](int id, const char* keys) {
        QLineEdit* field = Edit(*dialog, id);
        field->clear();
        QTest::keyClicks(field, keys);
        return field->text();
    };
    EXPECT_EQ(typed(OptionsDialog::kIdMaxSpeed, "-1"), "1");
    EXPECT_EQ(typed(OptionsDialog::kIdMaxSpeed, "99999999"), "9999999");
    QStringList labels;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_TRUE(labels.contains(QString::fromUtf8("（1-16）")) && labels.contains(QString::fromUtf8("（0-1048576）")))
        << labels.join('|').toStdString();
    const std::vector<std::pair<int, const char*>> outside = {{OptionsDialog::kIdMaxConnections, "0"},
                                                              {OptionsDialog::kIdMaxConnections, "17"},
                                                              {OptionsDialog::kIdMaxConnectionsPerHost, "33"},
                                                              {OptionsDialog::kIdMaxSpeed, "1048577"},
                                                              {OptionsDialog::kIdMaxSpeed, ""}};
    for (const auto& [id, keys] : outside) {
        messages_.shown.clear();
        typed(OptionsDialog::kIdMaxConnections, "12");
        typed(OptionsDialog::kIdMaxConnectionsPerHost, "24");
        typed(OptionsDialog::kIdMaxSpeed, "300");
        typed(id, keys);
        Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
        ASSERT_EQ(messages_.shown.size(), 1u) << keys;
        const std::string range = id == OptionsDialog::kIdMaxSpeed                ? "0 到 1048576"
                                  : id == OptionsDialog::kIdMaxConnectionsPerHost ? "1 到 32"
                                                                                  : "1 到 16";
        EXPECT_NE(messages_.shown[0].text.find(AnsiLiteral(range.c_str())), std::string::npos) << keys;
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << keys;
    }
    EXPECT_EQ(Read("options", "maxConnections"), "12");
    EXPECT_EQ(Read("options", "maxSpeed"), "300");
    // No limit is stored as none; the last limit stays for the tray's switch, and only a limit that
    // was in force becomes it.
    typed(OptionsDialog::kIdMaxSpeed, "0");
    Get<QPushButton>(*dialog, OptionsDialog::kIdOk)->click();
    EXPECT_EQ(Read("options", "maxSpeed"), "0");
    EXPECT_TRUE(platform::Settings(environment_.programDirectory).SetMaxSpeed(99999999));
    EXPECT_EQ(Read("options", "lastMaxSpeed"), "300");
}

TEST_F(OptionsDialogTest, CancelWritesNothing) {
    auto dialog = Open();
    Box(*dialog, OptionsDialog::kIdPlayAudio)->setChecked(false);
    Edit(*dialog, OptionsDialog::kIdMaxTasks)->setText(QStringLiteral("9"));
    Get<QPushButton>(*dialog, OptionsDialog::kIdCancel)->click();
    EXPECT_FALSE(std::filesystem::exists(Config()));
}

TEST_F(OptionsDialogTest, ArrowsStepTheCountsWithinTheirRanges) {
    auto dialog = Open();
    // {field, typed, step, shown}: a text that is no number steps on from the arrows' own position.
    const std::vector<std::tuple<int, QString, int, QString>> steps = {
        {OptionsDialog::kIdMaxTasks, "1", -1, "1"},        {OptionsDialog::kIdMaxTasks, "19", 1, "20"},
        {OptionsDialog::kIdMaxTasks, "20", 1, "20"},       {OptionsDialog::kIdMaxTasks, "abc", -1, "19"},
        {OptionsDialog::kIdMaxConnections, "16", 1, "16"}, {OptionsDialog::kIdMaxConnections, "1", -1, "1"}};
    for (const auto& [id, typed, step, expected] : steps) {  // the arrows' id follows the field's
        auto* arrows = Get<UpDownButtons>(*dialog, id + 1);
        Edit(*dialog, id)->setText(typed);
        (step > 0 ? arrows->UpButton() : arrows->DownButton())->click();
        EXPECT_EQ(Edit(*dialog, id)->text(), expected) << id << typed.toStdString();
    }
}

TEST_F(OptionsDialogTest, AutostartEntryFollowsTheBoxAtOnceAndReportsWhatFails) {
    auto dialog = Open();
    auto* box = Box(*dialog, OptionsDialog::kIdLaunchBySys);
    const std::string entry = temp_.File("autostart") + "/Orkaset.desktop";
    box->click();
    EXPECT_NE(ReadFile(entry).find("\nExec=\"/opt/tarvane/tarvane\" -hide\n"), std::string::npos);
    box->click();
    EXPECT_FALSE(std::filesystem::exists(entry));
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
    ASSERT_TRUE(entry.Add());  // again: replaces the entry
    EXPECT_EQ(ReadFile(folder + "/Orkaset.desktop"),
              "[Desktop Entry]\nType=Application\nName=Orkaset\nExec=\"/opt/my games/tarvane\" -hide\n"
              "X-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(entry.Remove());
    EXPECT_TRUE(entry.Remove());  // nothing to remove is no error
    EXPECT_FALSE(std::filesystem::exists(folder + "/Orkaset.desktop"));
    EXPECT_FALSE(XdgAutostart(temp.File("a"), "/opt/tar\nvane").Add());
}

}  // namespace
}  // namespace tarvane::test
