#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

#include "desktop/qt_translations.h"
#include "fakes.h"
#include "platform/codepage.h"
#include "platform/desktop_entry.h"
#include "tarvane/dialogs/autostart_entry.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/dialogs/recent_folders.h"
#include "tests/support/temp_dir.h"

namespace tarvane::test {
namespace {

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

TEST(RecentFoldersTest, RepeatedEntriesAllTradePlacesWithTheFirst) {
    TempDir temp;
    platform::SettingsFile settings(temp.File("config.ini"));
    // {chosen, the list after it}; the list is compared byte for byte.
    const std::vector<std::pair<const char*, std::vector<std::string>>> steps = {
        {"/a", {"/a", "/b", "/c", "/d", "/e"}},
        {"/f", {"/f", "/a", "/b", "/c", "/d"}},
        {"/f", {"/f", "/a", "/b", "/c", "/d"}},
        {"/F", {"/F", "/f", "/a", "/b", "/c"}},
        {"/a/", {"/a/", "/F", "/f", "/a", "/b"}}};
    for (const char* folder : {"/e", "/d", "/c", "/b"}) {
        UpdateRecentFolders(settings, folder);
    }
    for (const auto& [chosen, expected] : steps) {
        UpdateRecentFolders(settings, chosen);
        EXPECT_EQ(ReadRecentFolders(settings), expected) << chosen;
    }
    // A folder listed twice: each place gets the old first entry.
    settings.WriteString("lastPath", "p4", "/x");
    settings.WriteString("lastPath", "p2", "/x");
    UpdateRecentFolders(settings, "/x");
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/x", "/a/", "/f", "/a/", "/b"}));
}

TEST(FolderPickerTest, ModalDialogAnswersTheChosenFolderIn936AndQtSpeaksChinese) {
    TempDir temp;
    const std::string utf8Folder = temp.path().string() + "/下载";
    std::filesystem::create_directory(utf8Folder);
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("请选择文件夹"));
        dialog->setDirectory(QString::fromStdString(utf8Folder));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtFolderPicker picker;
    std::optional<std::string> chosen = picker.PickFolder(AnsiLiteral("请选择文件夹"), nullptr);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(platform::Utf8FromAnsi(*chosen), utf8Folder);
    WhenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(picker.PickFolder("x", nullptr).has_value());

    EXPECT_EQ(InstallChineseQtTranslations(*QCoreApplication::instance(), QStringLiteral("/nonexistent")), 0);
    EXPECT_EQ(InstallChineseQtTranslations(*QCoreApplication::instance()), 2);
    QFileDialog folders;
    folders.setOption(QFileDialog::DontUseNativeDialog);
    for (auto label : {QFileDialog::LookIn, QFileDialog::Accept, QFileDialog::FileType}) {
        EXPECT_GT(folders.labelText(label).toUcs4().front(), 0x2e80u) << folders.labelText(label).toStdString();
    }
    QMessageBox box(QMessageBox::NoIcon, "Quellora", "?",
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    SetChineseButtonTexts(box);
    QStringList texts;
    for (auto button : {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No}) {
        texts << box.button(button)->text();
    }
    EXPECT_EQ(texts, (QStringList{"确定", "取消", "是", "否"}));
}

}  // namespace
}  // namespace tarvane::test
