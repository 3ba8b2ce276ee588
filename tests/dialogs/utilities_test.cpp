#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
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
    XdgAutostart entry(temp.File("deep/autostart"), "/opt/my games/tarvane");
    ASSERT_TRUE(entry.Add());
    EXPECT_EQ(ReadFile(temp.File("deep/autostart/Orkaset.desktop")),
              "[Desktop Entry]\nType=Application\nName=Orkaset\nExec=\"/opt/my games/tarvane\" -hide\n"
              "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(std::filesystem::status(temp.File("deep/autostart/Orkaset.desktop")).permissions(),
              std::filesystem::perms(0644));
    // Writing again replaces the entry and leaves nothing else behind.
    ASSERT_TRUE(entry.Add());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.File("deep/autostart")),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_TRUE(entry.Remove());
    EXPECT_TRUE(entry.Remove());
    EXPECT_FALSE(std::filesystem::exists(temp.File("deep/autostart/Orkaset.desktop")));

    XdgAutostart broken(temp.File("a"), "/opt/tar\nvane");
    EXPECT_FALSE(broken.Add());
}

TEST(RecentFoldersTest, RepeatedEntriesAllTradePlacesWithTheFirst) {
    TempDir temp;
    platform::SettingsFile settings(temp.File("config.ini"));
    for (const char* folder : {"/e", "/d", "/c", "/b", "/a"}) {
        UpdateRecentFolders(settings, folder);
    }
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/a", "/b", "/c", "/d", "/e"}));
    UpdateRecentFolders(settings, "/f");
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/f", "/a", "/b", "/c", "/d"}));
    UpdateRecentFolders(settings, "/f");
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/f", "/a", "/b", "/c", "/d"}));
    // Compared byte for byte: another case or a trailing slash is another folder.
    UpdateRecentFolders(settings, "/F");
    UpdateRecentFolders(settings, "/a/");
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/a/", "/F", "/f", "/a", "/b"}));
    // A folder listed twice: each place gets the old first entry.
    settings.WriteString("lastPath", "p4", "/x");
    settings.WriteString("lastPath", "p2", "/x");
    UpdateRecentFolders(settings, "/x");
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/x", "/a/", "/f", "/a/", "/b"}));
}

TEST(FolderPickerTest, ModalDialogAnswersTheChosenFolderIn936) {
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
}

TEST(QtChineseTest, QtOwnTextsAndStandardButtonsSpeakChinese) {
    EXPECT_EQ(InstallChineseQtTranslations(*QCoreApplication::instance(), QStringLiteral("/nonexistent")), 0);
    EXPECT_EQ(InstallChineseQtTranslations(*QCoreApplication::instance()), 2);
    // The folder picker's own labels.
    QFileDialog picker;
    picker.setOption(QFileDialog::DontUseNativeDialog);
    for (auto label : {QFileDialog::LookIn, QFileDialog::Accept, QFileDialog::FileType}) {
        EXPECT_GT(picker.labelText(label).toUcs4().front(), 0x2e80u) << picker.labelText(label).toStdString();
    }
    QMessageBox box(QMessageBox::NoIcon, "Quellora", "?",
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    SetChineseButtonTexts(box);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("取消"));
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8("是"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8("否"));
}

}  // namespace
}  // namespace tarvane::test
