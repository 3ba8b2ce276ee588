#include "tarvane/dialogs/new_task_dialog.h"
#include "tarvane/engine/finished_item.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>
#include <memory>

#include "desktop/message_box.h"
#include "desktop/qt_translations.h"
#include "dialog_fixture.h"
#include "platform/codepage.h"
#include "platform/url_parse.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/dialogs/recent_folders.h"
#include "tests/support/spin.h"

namespace tarvane::test {
namespace {

using namespace std::chrono_literals;

const std::string kPage = "http://game.quellora.localhost/7.htm";

class NewTaskDialogTest : public DialogTest {
protected:
    std::unique_ptr<NewTaskDialog> Open() {
        NewTaskCallbacks callbacks;
        callbacks.isSupportedLink = [](const std::string& link) { return platform::ParseUrl(link).has_value(); };
        callbacks.addTask = [this](const AddTaskRequest& request) { added_.push_back(request); };
        callbacks.selectTaskRow = [this](const std::string& page) { selected_.push_back(page); };
        callbacks.showCompletedItem = [this](const std::string& page) { shownCompleted_.push_back(page); };
        auto dialog =
            std::make_unique<NewTaskDialog>(environment_, NewTaskPorts{messages_, folders_, tasks_}, callbacks);
        dialog->show();
        return dialog;
    }

    static QLineEdit* Edit(const NewTaskDialog& dialog, int id) { return Get<QLineEdit>(dialog, id); }

    // Types the address, folder and name and clicks OK.
    static void Submit(NewTaskDialog& dialog, const std::string& address, const std::string& folder,
                       const std::string& name) {
        Edit(dialog, NewTaskDialog::kIdAddress)->setText(UiText(address));
        Get<QComboBox>(dialog, NewTaskDialog::kIdFolder)->setEditText(UiText(folder));
        Edit(dialog, NewTaskDialog::kIdSaveName)->setText(UiText(name));
        Get<QPushButton>(dialog, NewTaskDialog::kIdOk)->click();
    }

    std::vector<AddTaskRequest> added_;
    std::vector<std::string> selected_;
    std::vector<std::string> shownCompleted_;
};

TEST_F(NewTaskDialogTest, ChecksTheInputInOrderThenAddsTheTaskAndPushesTheRecentFoldersDown) {
    SetRecent({"/first", "/second", "/third"});
    auto dialog = Open();
    Submit(*dialog, "game page", "", "");
    Submit(*dialog, kPage, "", "");
    Submit(*dialog, kPage, "/tmp/games", "");
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{AnsiLiteral("您输入的网址不正确！请重新输入。"),
                                                        AnsiLiteral("请点击\"浏览\"选择文件保存目录！"),
                                                        AnsiLiteral("请输入文件另存名称！")}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(added_.empty());
    EXPECT_EQ(Read("lastPath", "p1"), "/first");

    // Proxy values typed but the box left unchecked: no proxy, and none stored as the last one.
    Edit(*dialog, NewTaskDialog::kIdProxyHost)->setText(QStringLiteral("10.0.0.1"));
    const std::string folder = "/games/" + AnsiLiteral("游戏");
    Submit(*dialog, kPage, folder, AnsiLiteral("名字"));
    ASSERT_EQ(added_.size(), 1u);
    EXPECT_EQ(added_[0].resolve, 1);
    const DownloadTask& task = added_[0].task;
    EXPECT_EQ(task.frmPge, kPage);
    EXPECT_EQ(task.fileLink, kPage);
    EXPECT_EQ(task.name, AnsiLiteral("名字"));
    EXPECT_EQ(task.path, folder);
    EXPECT_EQ(task.prxPort, 0);
    EXPECT_EQ(
        task.prxIP + task.prxName + task.prxPwd + task.size + task.downloadedSize + task.flag + task.type + task.agent,
        "");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Recent(), (std::vector<std::string>{folder, "/first", "/second", "/third", ""}));
    EXPECT_EQ(Read("lastPxy", "ip"), "<missing>");
}

TEST_F(NewTaskDialogTest, KnownAddressesCloseTheDialogAndStillReorderTheRecentFolders) {
    const std::string completed = "http://game.quellora.localhost/2.htm";
    DownloadTask task;
    task.frmPge = kPage;
    tasks_.Load({EntryFromStored(task)}, {});
    task.frmPge = completed;
    tasks_.Load({}, {FinishedItem(task, {})});
    SetRecent({"/first", "/second", "/third"});

    auto dialog = Open();
    Submit(*dialog, kPage, "/third", "a");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(selected_, std::vector<std::string>{kPage});
    dialog = Open();
    Submit(*dialog, completed, "/second", "b");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(shownCompleted_, std::vector<std::string>{completed});
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{AnsiLiteral("该网址已存在于正在下载任务列表中！"),
                                                        AnsiLiteral("该网址已经下载完成！")}));
    EXPECT_EQ(Recent(), (std::vector<std::string>{"/second", "/third", "/first", "<missing>", "<missing>"}));
    EXPECT_TRUE(added_.empty());
}

TEST_F(NewTaskDialogTest, MoreOptionsShowsTheProxyWhoseBoxEnablesItAndWhoseValuesAreOfferedNextTime) {
    auto dialog = Open();
    auto* box = Get<QCheckBox>(*dialog, NewTaskDialog::kIdUseProxy);
    // Nothing stored yet: the built-in proxy defaults, disabled.
    const auto fields = [](const NewTaskDialog& d) {
        QStringList texts;
        for (int id : {NewTaskDialog::kIdProxyHost, NewTaskDialog::kIdProxyPort, NewTaskDialog::kIdProxyUser}) {
            texts << Edit(d, id)->text();
        }
        return texts;
    };
    EXPECT_EQ(fields(*dialog), (QStringList{"127.0.0.1", "8000", ""}));
    EXPECT_FALSE(box->isChecked());
    const std::vector<std::pair<int, QString>> typed = {{NewTaskDialog::kIdProxyHost, "proxy.localhost"},
                                                        {NewTaskDialog::kIdProxyPort, "3128"},
                                                        {NewTaskDialog::kIdProxyUser, QString::fromUtf8("用户")},
                                                        {NewTaskDialog::kIdProxyPassword, "secret"}};
    EXPECT_FALSE(Edit(*dialog, NewTaskDialog::kIdProxyHost)->isEnabled());
    box->click();
    for (const auto& [id, text] : typed) {
        EXPECT_TRUE(Edit(*dialog, id)->isEnabled());
        Edit(*dialog, id)->setText(text);
    }
    Submit(*dialog, "http://game.quellora.localhost/3.htm", "/games", "a");
    ASSERT_EQ(added_.size(), 1u);
    EXPECT_EQ(added_[0].task.prxIP, "proxy.localhost");
    EXPECT_EQ(added_[0].task.prxPort, 3128);
    EXPECT_EQ(added_[0].task.prxName, AnsiLiteral("用户"));
    EXPECT_EQ(added_[0].task.prxPwd, "secret");

    auto next = Open();
    EXPECT_EQ(fields(*next), (QStringList{"proxy.localhost", "3128", QString::fromUtf8("用户")}));
    EXPECT_FALSE(Get<QCheckBox>(*next, NewTaskDialog::kIdUseProxy)->isChecked());
    // With the default proxy asked for, the default section is offered instead.
    Settings().WriteString("options", "loadDefaultPxy", "1");
    Settings().WriteString("defaultPxy", "ip", "default.localhost");
    EXPECT_EQ(fields(*Open()), (QStringList{"default.localhost", "8000", ""}));
}

TEST_F(NewTaskDialogTest, FolderBoxOffersTheDefaultAndTheRecentFoldersAndBrowseFillsIt) {
    EXPECT_EQ(Get<QComboBox>(*Open(), NewTaskDialog::kIdFolder)->currentText(), UiText(environment_.desktopFolder));
    Settings().WriteString("options", "defaultPath", "/b-default");
    SetRecent({"/c-recent", "/a-recent", "/b-default", "", "/after-gap"});
    auto dialog = Open();
    auto* folder = Get<QComboBox>(*dialog, NewTaskDialog::kIdFolder);
    EXPECT_EQ(folder->currentText(), QStringLiteral("/c-recent"));
    QStringList items;
    for (int i = 0; i < folder->count(); ++i) {
        items << folder->itemText(i);
    }
    // Sorted; the default appears twice; the list ends at the first empty entry.
    EXPECT_EQ(items, (QStringList{"/a-recent", "/b-default", "/b-default", "/c-recent"}));

    folders_.answer = "/srv/" + AnsiLiteral("下载");
    Get<QPushButton>(*dialog, NewTaskDialog::kIdBrowse)->click();
    EXPECT_EQ(folder->currentText(), QString::fromUtf8("/srv/下载"));
}

TEST(RecentFoldersTest, TheChosenFolderGoesFirstOnceAndTheOldestFallsOff) {
    TempDir temp;
    platform::SettingsFile settings(temp.File("config.ini"));
    // The oldest falls off; the first chosen again stays alone; the case counts.
    for (const char* folder : {"/e", "/d", "/c", "/b", "/a", "/f", "/f", "/F"}) {
        UpdateRecentFolders(settings, folder);
    }
    EXPECT_EQ(ReadRecentFolders(settings), (std::vector<std::string>{"/F", "/f", "/a", "/b", "/c"}));
}

TEST(FolderPickerTest, ModalDialogAnswersTheChosenFolderIn936AndQtSpeaksChinese) {
    TempDir temp;
    const std::string utf8Folder = temp.path().string() + "/下载";
    std::filesystem::create_directory(utf8Folder);
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("请选择文件夹"));
        // Folders and their dates are listed in Chinese.
        dialog->setDirectory(QString::fromStdString(temp.path().string()));
        auto* tree = dialog->findChild<QTreeView*>("treeView");
        QModelIndex entry;
        SpinUntil([&] { return (entry = tree->model()->index(0, 0, tree->rootIndex())).isValid(); }, 5s);
        EXPECT_EQ(entry.siblingAtColumn(2).data().toString(), QString::fromUtf8("文件夹"));
        QString date = entry.siblingAtColumn(3).data().toString();
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d{2}$)").match(date).hasMatch())
            << date.toStdString();
        dialog->setDirectory(QString::fromStdString(utf8Folder));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtFolderPicker picker;
    std::optional<std::string> chosen = picker.PickFolder(AnsiLiteral("请选择文件夹"), nullptr);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(platform::Utf8FromAnsi(*chosen), utf8Folder);
    WhenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(picker.PickFolder("x", nullptr).has_value());

    // Qt's own dialogs and the message boxes' buttons speak Chinese; a box leaves the title bar room
    // for its whole caption beside a window manager's icon and three buttons.
    EXPECT_EQ(InstallChineseQtTranslations(*QCoreApplication::instance()), 2);
    QMessageBox box(QMessageBox::Warning, "tarvane", QString::fromUtf8("文件已不存在！"), QMessageBox::Ok);
    WhenModal<QMessageBox>([](QMessageBox* shown) {
        EXPECT_EQ(shown->button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
        EXPECT_GE(shown->width(), shown->fontMetrics().horizontalAdvance("tarvane") + 4 * 30);
        shown->button(QMessageBox::Ok)->click();
    });
    RunMessageBox(box);
}

}  // namespace
}  // namespace tarvane::test
