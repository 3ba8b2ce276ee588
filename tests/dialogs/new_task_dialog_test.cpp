#include "tarvane/dialogs/new_task_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "fakes.h"
#include "platform/settings_file.h"
#include "platform/url_parse.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tests/support/temp_dir.h"

namespace tarvane::test {
namespace {

class NewTaskDialogTest : public TempDirTest {
protected:
    NewTaskDialogTest() {
        environment_.programDirectory = temp_.Directory();
        environment_.applicationName = "tarvane";
        environment_.desktopFolder = "/home/user/Desktop";
        files_.EnsureTaskFiles(temp_.Directory());
    }

    std::unique_ptr<NewTaskDialog> Open() {
        NewTaskCallbacks callbacks;
        callbacks.isSupportedLink = [](const std::string& link) { return platform::ParseUrl(link).has_value(); };
        callbacks.addTask = [this](const AddTaskRequest& request) { added_.push_back(request); };
        callbacks.selectTaskRow = [this](const std::string& page) { selected_.push_back(page); };
        callbacks.showCompletedItem = [this](const std::string& page) { shownCompleted_.push_back(page); };
        return std::make_unique<NewTaskDialog>(environment_, NewTaskPorts{messages_, folders_, files_}, callbacks);
    }

    template <typename T>
    static T* Get(const NewTaskDialog& dialog, int id) {
        T* widget = qobject_cast<T*>(dialog.Control(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }

    static void Fill(NewTaskDialog& dialog, const std::string& address, const std::string& folder,
                     const std::string& name) {
        Get<QLineEdit>(dialog, NewTaskDialog::kIdAddress)->setText(UiText(address));
        Get<QComboBox>(dialog, NewTaskDialog::kIdFolder)->setEditText(UiText(folder));
        Get<QLineEdit>(dialog, NewTaskDialog::kIdSaveName)->setText(UiText(name));
    }

    static void ClickOk(NewTaskDialog& dialog) { Get<QPushButton>(dialog, NewTaskDialog::kIdOk)->click(); }

    platform::SettingsFile Settings() const { return platform::SettingsFile(temp_.File("config.ini")); }
    std::string Recent(const char* key) const { return Settings().ReadString("lastPath", key, "<missing>", 3000); }
    void SetRecent(const std::vector<std::string>& folders) {
        for (std::size_t i = 0; i < folders.size(); ++i) {
            Settings().WriteString("lastPath", "p" + std::to_string(i + 1), folders[i]);
        }
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& message : messages_.shown) {
            texts.push_back(message.text);
        }
        return texts;
    }

    DialogEnvironment environment_;
    FakeMessages messages_;
    FakeFolderPicker folders_;
    TaskFiles files_;
    std::vector<AddTaskRequest> added_;
    std::vector<std::string> selected_;
    std::vector<std::string> shownCompleted_;
};

TEST_F(NewTaskDialogTest, InputChecksComeInOrderAndKeepTheDialogOpen) {
    auto dialog = Open();
    dialog->show();
    const std::string addressMessage = AnsiLiteral("您输入的网址不正确！请重新输入。");
    const std::string folderMessage = AnsiLiteral("请点击\"浏览\"选择文件保存目录！");
    const std::string nameMessage = AnsiLiteral("请输入文件另存名称！");

    Fill(*dialog, "game page", "", "");
    ClickOk(*dialog);
    Fill(*dialog, "http://game.quellora.localhost/1.htm", "", "");
    ClickOk(*dialog);
    Fill(*dialog, "http://game.quellora.localhost/1.htm", "/tmp/games", "");
    ClickOk(*dialog);

    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{addressMessage, folderMessage, nameMessage}));
    for (const auto& message : messages_.shown) {
        EXPECT_EQ(message.caption, "tarvane");
    }
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Get<QLineEdit>(*dialog, NewTaskDialog::kIdAddress)->text(),
              QStringLiteral("http://game.quellora.localhost/1.htm"));
    EXPECT_TRUE(added_.empty());
    EXPECT_FALSE(std::filesystem::exists(temp_.File("config.ini")));
}

TEST_F(NewTaskDialogTest, NewAddressBecomesATaskAndPushesTheRecentFoldersDown) {
    SetRecent({"/first", "/second", "/third"});
    auto dialog = Open();
    dialog->show();
    const std::string folder = "/games/" + AnsiLiteral("游戏");
    Fill(*dialog, "http://game.quellora.localhost/7.htm", folder, AnsiLiteral("名字"));
    // Proxy values typed but the box left unchecked: no proxy.
    Get<QLineEdit>(*dialog, NewTaskDialog::kIdProxyHost)->setText(QStringLiteral("10.0.0.1"));
    ClickOk(*dialog);

    ASSERT_EQ(added_.size(), 1u);
    const AddTaskRequest& request = added_[0];
    EXPECT_EQ(request.resolve, 1);
    EXPECT_EQ(request.row, 0);
    EXPECT_EQ(request.task.frmPge, "http://game.quellora.localhost/7.htm");
    EXPECT_EQ(request.task.fileLink, request.task.frmPge);
    EXPECT_EQ(request.task.name, AnsiLiteral("名字"));
    EXPECT_EQ(request.task.path, folder);
    EXPECT_EQ(request.task.prxIP, "");
    EXPECT_EQ(request.task.prxPort, 0);
    EXPECT_EQ(request.task.prxName, "");
    EXPECT_EQ(request.task.prxPwd, "");
    EXPECT_EQ(
        request.task.size + request.task.downloadedSize + request.task.flag + request.task.type + request.task.agent,
        "");
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);

    EXPECT_EQ(Recent("p1"), folder);
    EXPECT_EQ(Recent("p2"), "/first");
    EXPECT_EQ(Recent("p3"), "/second");
    EXPECT_EQ(Recent("p4"), "/third");
    EXPECT_EQ(Recent("p5"), "");  // written, empty
    // Nothing was typed into the proxy with its box checked, so the last proxy stays unset.
    EXPECT_EQ(Settings().ReadString("lastPxy", "ip", "<missing>", 260), "<missing>");
}

TEST_F(NewTaskDialogTest, KnownAddressesCloseTheDialogAndStillReorderTheRecentFolders) {
    const std::string downloading = "http://game.quellora.localhost/1.htm";
    const std::string completed = "http://game.quellora.localhost/2.htm";
    DownloadTask task;
    task.frmPge = downloading;
    ASSERT_TRUE(files_.AddItem(temp_.File("download.xml"), task, false));
    task.frmPge = completed;
    ASSERT_TRUE(files_.AddItem(temp_.File("completed.xml"), task, true));
    SetRecent({"/first", "/second", "/third"});

    auto dialog = Open();
    dialog->show();
    Fill(*dialog, downloading, "/third", "a");
    ClickOk(*dialog);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(selected_, std::vector<std::string>{downloading});
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{AnsiLiteral("该网址已存在于正在下载任务列表中！")});
    EXPECT_EQ(Recent("p1"), "/third");
    EXPECT_EQ(Recent("p2"), "/second");
    EXPECT_EQ(Recent("p3"), "/first");

    messages_.shown.clear();
    dialog = Open();
    dialog->show();
    Fill(*dialog, completed, "/second", "b");
    ClickOk(*dialog);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(shownCompleted_, std::vector<std::string>{completed});
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{AnsiLiteral("该网址已经下载完成！")});
    EXPECT_EQ(Recent("p1"), "/second");
    EXPECT_EQ(Recent("p2"), "/third");
    EXPECT_EQ(Recent("p3"), "/first");
    EXPECT_EQ(Recent("p4"), "<missing>");

    EXPECT_TRUE(added_.empty());
}

TEST_F(NewTaskDialogTest, ProxyBoxEnablesItsFieldsAndItsValuesAreOfferedNextTime) {
    auto dialog = Open();
    dialog->show();
    auto* box = Get<QCheckBox>(*dialog, NewTaskDialog::kIdUseProxy);
    auto* host = Get<QLineEdit>(*dialog, NewTaskDialog::kIdProxyHost);
    auto* port = Get<QLineEdit>(*dialog, NewTaskDialog::kIdProxyPort);
    auto* user = Get<QLineEdit>(*dialog, NewTaskDialog::kIdProxyUser);
    auto* password = Get<QLineEdit>(*dialog, NewTaskDialog::kIdProxyPassword);
    // Nothing stored yet: the built-in proxy defaults, disabled.
    EXPECT_EQ(host->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(port->text(), QStringLiteral("8000"));
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(host->isEnabled());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    box->click();
    EXPECT_TRUE(host->isEnabled() && port->isEnabled() && user->isEnabled() && password->isEnabled());
    host->setText(QStringLiteral("proxy.localhost"));
    port->setText(QStringLiteral("3128"));
    user->setText(QString::fromUtf8("用户"));
    password->setText(QStringLiteral("secret"));
    box->click();
    EXPECT_FALSE(user->isEnabled());
    EXPECT_EQ(user->text(), QString::fromUtf8("用户"));
    box->click();

    Fill(*dialog, "http://game.quellora.localhost/3.htm", "/games", "a");
    ClickOk(*dialog);
    ASSERT_EQ(added_.size(), 1u);
    EXPECT_EQ(added_[0].task.prxIP, "proxy.localhost");
    EXPECT_EQ(added_[0].task.prxPort, 3128);
    EXPECT_EQ(added_[0].task.prxName, AnsiLiteral("用户"));
    EXPECT_EQ(added_[0].task.prxPwd, "secret");

    auto next = Open();
    EXPECT_EQ(Get<QLineEdit>(*next, NewTaskDialog::kIdProxyHost)->text(), QStringLiteral("proxy.localhost"));
    EXPECT_EQ(Get<QLineEdit>(*next, NewTaskDialog::kIdProxyPort)->text(), QStringLiteral("3128"));
    EXPECT_EQ(Get<QLineEdit>(*next, NewTaskDialog::kIdProxyUser)->text(), QString::fromUtf8("用户"));
    EXPECT_FALSE(Get<QCheckBox>(*next, NewTaskDialog::kIdUseProxy)->isChecked());

    // With the default proxy asked for, the default section is offered instead.
    Settings().WriteString("options", "loadDefaultPxy", "1");
    Settings().WriteString("defaultPxy", "ip", "default.localhost");
    auto withDefault = Open();
    EXPECT_EQ(Get<QLineEdit>(*withDefault, NewTaskDialog::kIdProxyHost)->text(), QStringLiteral("default.localhost"));
    EXPECT_EQ(Get<QLineEdit>(*withDefault, NewTaskDialog::kIdProxyPort)->text(), QStringLiteral("8000"));
    EXPECT_EQ(Get<QLineEdit>(*withDefault, NewTaskDialog::kIdProxyUser)->text(), QString());
}

TEST_F(NewTaskDialogTest, MoreOptionsExpandsAndCollapses) {
    auto dialog = Open();
    dialog->show();
    auto* more = Get<QPushButton>(*dialog, NewTaskDialog::kIdMore);
    QWidget* proxyBox = dialog->Control(NewTaskDialog::kIdUseProxy);
    EXPECT_LT(dialog->CollapsedHeight(), dialog->FullHeight());
    EXPECT_EQ(dialog->height(), dialog->CollapsedHeight());
    EXPECT_GT(proxyBox->geometry().top(), dialog->height());
    EXPECT_EQ(more->text(), QString::fromUtf8("更多选项"));
    int width = dialog->width();

    more->click();
    EXPECT_EQ(dialog->height(), dialog->FullHeight());
    EXPECT_LT(proxyBox->geometry().bottom(), dialog->height());
    EXPECT_EQ(more->text(), QString::fromUtf8("简洁模式"));
    more->click();
    EXPECT_EQ(dialog->height(), dialog->CollapsedHeight());
    EXPECT_EQ(more->text(), QString::fromUtf8("更多选项"));
    EXPECT_EQ(dialog->width(), width);
}

TEST_F(NewTaskDialogTest, FolderBoxOffersTheDefaultAndTheRecentFolders) {
    {
        auto dialog = Open();
        EXPECT_EQ(Get<QComboBox>(*dialog, NewTaskDialog::kIdFolder)->currentText(),
                  QStringLiteral("/home/user/Desktop"));
    }
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
}

TEST_F(NewTaskDialogTest, BrowseFillsTheFolderOnlyWhenOneWasChosen) {
    auto dialog = Open();
    dialog->show();
    auto* folder = Get<QComboBox>(*dialog, NewTaskDialog::kIdFolder);
    auto* browse = Get<QPushButton>(*dialog, NewTaskDialog::kIdBrowse);
    browse->click();
    EXPECT_EQ(folder->currentText(), QStringLiteral("/home/user/Desktop"));
    folders_.answer = "/srv/" + AnsiLiteral("下载");
    browse->click();
    EXPECT_EQ(folder->currentText(), QString::fromUtf8("/srv/下载"));
    EXPECT_EQ(folders_.titles, std::vector<std::string>(2, AnsiLiteral("请选择文件夹")));
}

}  // namespace
}  // namespace tarvane::test
