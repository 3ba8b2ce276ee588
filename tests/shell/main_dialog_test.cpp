#include "tarvane/shell/main_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTableView>
#include <filesystem>

#include <QLineEdit>

#include "platform/codepage.h"
#include "platform/settings_file.h"
#include "tarvane/dialogs/completed_list_dialog.h"
#include "tarvane/dialogs/new_task_dialog.h"
#include "tarvane/dialogs/options_dialog.h"
#include "tarvane/shell/controls/link_label.h"
#include "tarvane/shell/tray_menu.h"
#include "tests/dialogs/fakes.h"
#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

using MainDialogTest = ShellTest;

std::vector<std::pair<QString, int>> Entries(QMenu& menu) {
    std::vector<std::pair<QString, int>> entries;
    for (QAction* action : menu.actions()) {
        entries.emplace_back(action->isSeparator() ? QString("-") : action->text(),
                             action->isSeparator() ? 0 : action->data().toInt() * (action->isEnabled() ? 1 : -1));
    }
    return entries;
}

TEST_F(MainDialogTest, StartUpOrder) {
    std::string page = StallingPage(1);
    // A task left from the last run, and no updater.
    DownloadTask old;
    old.frmPge = Page(9);
    old.name = "old";
    old.fileLink = site_.Url("/old.bin");
    old.flag = "2";
    TaskFiles files;
    ASSERT_TRUE(files.EnsureTaskFiles(directory_));
    ASSERT_TRUE(files.AddItem(directory_ + kDownloadFileName, old, false));
    std::filesystem::remove(temp_.File("updater"));

    auto dialog = MakeDialog("tarvane://>" + page + "<");
    std::vector<std::string> seen;
    std::string handedOver = StallingPage(2);
    shell_.onMessage = [&] {
        seen.push_back(dialog->windowTitle().toStdString() + " rows=" + std::to_string(dialog->model().RowCount()));
        // A hand-off served by the message's event loop waits for the list.
        dialog->OnCopyData(0, {handedOver, "", "", 0});
    };
    dialog->Initialize();

    // The updater message comes after the title and before anything is listed, then the site opens.
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_NE(shell_.messages[0].find("没有找到升级程序"), std::string::npos);
    EXPECT_EQ(seen[0], "Quellora rows=0");
    ASSERT_EQ(shell_.desktop.size(), 1u);
    EXPECT_EQ(shell_.desktop[0], "web:http://127.0.0.1:" + std::to_string(site_.port()) + "/");
    // The stored task is listed before the command-line link and the early hand-off become tasks.
    ASSERT_EQ(dialog->model().RowCount(), 3);
    EXPECT_EQ(dialog->model().SubItemText(0, kColumnPage), Page(9));
    EXPECT_EQ(dialog->model().SubItemText(1, kColumnPage), page);
    EXPECT_EQ(dialog->model().SubItemText(2, kColumnPage), handedOver);
    EXPECT_EQ(dialog->engine().files.GetItemField(directory_ + kDownloadFileName, "frmPge", page, "agent"),
              kDefaultAgent);
    EXPECT_TRUE(std::filesystem::exists(temp_.File("completed.xml")));
    EXPECT_TRUE(std::filesystem::exists(temp_.File("data/applications/tarvane-url-handler.desktop")));
    EXPECT_EQ(dialog->windowTitle(), "Quellora");
    // The list: nine columns with their widths, grid lines, whole rows selected.
    QTableView* list = dialog->taskList();
    EXPECT_EQ(list->columnWidth(1), 200);
    EXPECT_EQ(list->columnWidth(8), 160);
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(MainDialogTest, DamagedTaskFileIsSetAsideAndSaidAndLinksAreStillTaken) {
    WriteFile(directory_ + kDownloadFileName, "<download><item name=\"x\" frmPge=");
    auto dialog = MakeDialog();
    dialog->Initialize();
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_NE(shell_.messages[0].find("download.xml.damaged-"), std::string::npos);
    std::string page = StallingPage(3);
    dialog->OnCopyData(0, {page, "", "", 0});
    ASSERT_EQ(dialog->model().RowCount(), 1);
    EXPECT_EQ(dialog->model().SubItemText(0, kColumnPage), page);
}

TEST_F(MainDialogTest, SchemeHandlerThatCannotBeWrittenIsReportedAndStartUpGoesOn) {
    WriteFile(temp_.File("data"), "a file where the data folder should be");
    auto dialog = MakeDialog("tarvane://>" + StallingPage(3) + "<");
    dialog->Initialize();
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_EQ(shell_.messages[0], "Quellora: 写注册表失败了！您可以升级新版本来解决这个问题。");
    EXPECT_EQ(dialog->model().RowCount(), 1);
}

TEST_F(MainDialogTest, CloseButtonInItsThreeCases) {
    {
        auto dialog = MakeDialog();
        dialog->Initialize();
        dialog->show();
        dialog->OnCommand(kIdClose);  // closeToStay absent: to the tray without a question
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(dialog->trayIconShown());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_TRUE(shell_.messages.empty());
    }
    WriteConfig("[options]\ncloseToStay=0\ndefaultPath=" + temp_.File("saved") + "\n");
    {
        auto dialog = MakeDialog();
        dialog->Initialize();
        dialog->show();
        dialog->OnCommand(kIdClose);  // nothing runs: ends at once
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(shell_.messages.empty());
    }
    {
        auto dialog = MakeDialog("tarvane://>" + StallingPage(2) + "<");
        dialog->Initialize();
        dialog->show();
        ASSERT_TRUE(SpinUntil([&] { return dialog->engine().tables.AnyWorkerRunning(); }));
        shell_.answer = MessageAnswer::Cancel;
        dialog->OnCommand(kIdClose);  // Cancel: to the tray, the task keeps running
        ASSERT_EQ(shell_.messages.size(), 1u);
        EXPECT_NE(shell_.messages[0].find("有任务正在进行中"), std::string::npos);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_TRUE(dialog->engine().tables.AnyWorkerRunning());

        dialog->show();
        shell_.answer = MessageAnswer::Ok;
        dialog->OnCommand(kIdClose);  // OK: every transfer asked to stop, then the end
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(SpinUntil([&] { return !dialog->engine().tables.AnyWorkerRunning(); }));
        dialog->Finish();
        // The paused task kept its place and its count.
        std::string download = directory_ + kDownloadFileName;
        EXPECT_EQ(dialog->engine().files.GetItemField(download, "frmPge", Page(2), "flag"), "2");
    }
}

TEST_F(MainDialogTest, TabsEnableTheRightButtons) {
    auto dialog = MakeDialog();
    dialog->Initialize();
    dialog->show();
    // Dialog units of the font the window was drawn for, whatever font stands in for it here.
    EXPECT_EQ(dialog->size(), QSize(983, 611));
    EXPECT_EQ(dialog->taskList()->geometry(), QRect(225, 152, 743, 444));
    auto enabled = [&](int id) { return dialog->control(id)->isEnabled(); };
    EXPECT_FALSE(enabled(kIdTabDownloading));
    EXPECT_TRUE(enabled(kIdTabCompleted));
    dialog->OnCommand(kIdTabCompleted);
    EXPECT_TRUE(enabled(kIdTabDownloading));
    EXPECT_FALSE(enabled(kIdTabCompleted));
    EXPECT_FALSE(enabled(kIdStart));
    EXPECT_FALSE(enabled(kIdPause));
    EXPECT_FALSE(enabled(kIdDelete));
    EXPECT_TRUE(enabled(kIdNew));
    EXPECT_TRUE(dialog->completedPane()->isVisible());
    EXPECT_FALSE(dialog->taskList()->isVisible());
    // The finished list stands exactly where the task list stood.
    EXPECT_EQ(dialog->completedPane()->geometry(), dialog->taskList()->geometry());
    dialog->OnCommand(kIdTabDownloading);
    EXPECT_FALSE(enabled(kIdTabDownloading));
    EXPECT_TRUE(enabled(kIdTabCompleted));
    EXPECT_TRUE(enabled(kIdStart) && enabled(kIdPause) && enabled(kIdDelete));
    EXPECT_FALSE(dialog->completedPane()->isVisible());
    EXPECT_TRUE(dialog->taskList()->isVisible());
}

TEST_F(MainDialogTest, CategoriesAndHelpStartTheGameBrowser) {
    auto dialog = MakeDialog();
    dialog->Initialize();
    shell_.started.clear();
    dialog->categoryLabel(1063)->Click();
    dialog->categoryLabel(1052)->Click();
    dialog->OnLinkLabelClicked(1037);  // not a category
    dialog->OnCommand(kIdHelp);
    ASSERT_EQ(shell_.started.size(), 3u);
    std::string selvik = temp_.File("selvik");
    EXPECT_EQ(shell_.started[0].first, selvik);
    EXPECT_EQ(shell_.started[0].second,
              std::vector<std::string>{"http://game.quellora.localhost:8717/dispenseUrl/12.htm"});
    EXPECT_EQ(shell_.started[1].second,
              std::vector<std::string>{"http://game.quellora.localhost:8717/dispenseUrl/01.htm"});
    EXPECT_EQ(shell_.started[2].second, std::vector<std::string>{"http://127.0.0.1:" + std::to_string(site_.port()) +
                                                                 "/soft/help/downloader_help.htm"});
    EXPECT_EQ(dialog->categoryLabel(1055)->text(), QString::fromUtf8("即时战略"));
}

TEST_F(MainDialogTest, TrayNotificationsAndMenu) {
    auto dialog = MakeDialog();
    dialog->Initialize();
    dialog->show();
    dialog->showMinimized();
    dialog->HideToTray();
    ASSERT_FALSE(dialog->isVisible());

    EXPECT_EQ(dialog->OnTrayNotify(127, kMouseLeftButtonUp), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->OnTrayNotify(kTrayIconId, 512), 0);  // a mouse move does nothing
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->OnTrayNotify(kTrayIconId, kMouseLeftButtonUp), 0);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isMinimized());
    EXPECT_TRUE(dialog->trayIconShown());  // stays until the end

    std::unique_ptr<QMenu> menu(BuildTrayMenu(dialog.get()));
    std::vector<std::pair<QString, int>> expected = {
        {QString::fromUtf8("显示主窗口"), 5000}, {"-", 0},
        {QString::fromUtf8("选择游戏"), 5003},   {QString::fromUtf8("下载帮助"), 5004},
        {QString::fromUtf8("访问官网"), 5001},   {"-", 0},
        {QString::fromUtf8("检查升级"), 5005},   {"-", 0},
        {QString::fromUtf8("退出"), 5002}};
    EXPECT_EQ(Entries(*menu), expected);

    shell_.started.clear();
    shell_.desktop.clear();
    dialog->OnCommand(kTrayChooseGame);
    dialog->OnCommand(kTrayOfficialSite);
    dialog->OnCommand(kTrayCheckUpdate);
    ASSERT_EQ(shell_.started.size(), 2u);
    EXPECT_EQ(shell_.started[0].second, std::vector<std::string>{"http://game.quellora.localhost:8717/"});
    EXPECT_EQ(shell_.started[1].first, temp_.File("updater"));
    EXPECT_EQ(shell_.desktop, std::vector<std::string>{"web:http://127.0.0.1:" + std::to_string(site_.port()) + "/"});

    dialog->HideToTray();
    dialog->OnCommand(kTrayShowWindow);
    EXPECT_TRUE(dialog->isVisible());
    dialog->OnCommand(kTrayExit);  // nothing runs: no question
    EXPECT_TRUE(shell_.messages.empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(MainDialogTest, TrayExitWithARunningTaskAsksFirst) {
    auto dialog = MakeDialog("tarvane://>" + StallingPage(5) + "<");
    dialog->Initialize();
    ASSERT_TRUE(SpinUntil([&] { return dialog->engine().tables.AnyWorkerRunning(); }));
    dialog->HideToTray();
    shell_.answer = MessageAnswer::Cancel;
    dialog->OnCommand(kTrayExit);
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(dialog->engine().tables.AnyWorkerRunning());
}

TEST_F(MainDialogTest, TaskMenuFollowsTheSelectedTask) {
    DownloadTask paused;
    paused.frmPge = Page(7);
    paused.name = "paused";
    paused.fileLink = site_.Url("/p.bin");
    paused.flag = "2";
    TaskFiles files;
    ASSERT_TRUE(files.EnsureTaskFiles(directory_));
    ASSERT_TRUE(files.AddItem(directory_ + kDownloadFileName, paused, false));
    auto dialog = MakeDialog();
    dialog->Initialize();
    EXPECT_EQ(dialog->BuildTaskMenu(), nullptr);  // nothing selected

    dialog->taskList()->selectRow(0);
    ASSERT_EQ(dialog->SelectedRow(), 0);
    std::unique_ptr<QMenu> menu(dialog->BuildTaskMenu());
    ASSERT_NE(menu, nullptr);
    auto entries = Entries(*menu);
    ASSERT_EQ(entries.size(), 12u);
    EXPECT_EQ(entries[0], std::make_pair(QString::fromUtf8("开始下载"), 3000));
    EXPECT_EQ(entries[1], std::make_pair(QString::fromUtf8("暂停下载"), -3001));
    EXPECT_EQ(entries[4].second, -3003);

    dialog->OnCommand(kCommandCopyLink);
    EXPECT_EQ(shell_.clipboard, site_.Url("/p.bin"));
    dialog->OnCommand(kCommandProperties);
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_EQ(shell_.messages[0], "tarvane: 任务属性暂未实施！");
}

TEST_F(MainDialogTest, DraggingTheBackgroundMovesTheWindow) {
    auto dialog = MakeDialog();
    dialog->Initialize();
    dialog->move(100, 100);
    dialog->show();
    QPoint before = dialog->pos();
    QPoint local(5, 300);  // background: no control there
    ASSERT_EQ(dialog->childAt(local), nullptr);
    QPoint global = dialog->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &press);
    QMouseEvent move(QEvent::MouseMove, local + QPoint(40, 25), global + QPoint(40, 25), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + QPoint(40, 25), global + QPoint(40, 25), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &release);
    EXPECT_EQ(dialog->pos(), before + QPoint(40, 25));
}

}  // namespace
}  // namespace tarvane::test

namespace tarvane::test {
namespace {

TEST_F(MainDialogTest, DialogsWorkFromTheMainWindow) {
    TaskFiles files;
    ASSERT_TRUE(files.EnsureTaskFiles(directory_));
    DownloadTask done;
    done.frmPge = Page(5);
    done.name = "done";
    done.path = temp_.path().string();
    done.type = "rar";
    done.size = "1000";
    done.fileLink = site_.Url("/done.rar");
    ASSERT_TRUE(files.AddItem(directory_ + kCompletedFileName, done, true));
    DownloadTask stored;
    stored.frmPge = Page(6);
    stored.name = "stored";
    stored.fileLink = site_.Url("/stored.bin");
    stored.flag = "2";
    ASSERT_TRUE(files.AddItem(directory_ + kDownloadFileName, stored, false));
    DownloadTask other = stored;
    other.frmPge = Page(7);
    other.fileLink = site_.Url("/other.bin");
    ASSERT_TRUE(files.AddItem(directory_ + kDownloadFileName, other, false));
    auto dialog = MakeDialog();
    dialog->Initialize();

    auto enter = [](const std::string& page) {
        WhenModal<NewTaskDialog>([page](NewTaskDialog* d) {
            qobject_cast<QLineEdit*>(d->Control(NewTaskDialog::kIdAddress))->setText(QString::fromStdString(page));
            qobject_cast<QLineEdit*>(d->Control(NewTaskDialog::kIdSaveName))->setText("game");
            d->accept();
            // A dialog that did not close would hold the test for ever.
            if (d->isVisible()) {
                d->reject();
            }
        });
    };
    // An address already downloaded: the finished pane comes up with its entry selected.
    enter(Page(5));
    dialog->OnCommand(kIdNew);
    EXPECT_TRUE(dialog->completedPane()->isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->taskList()->isVisibleTo(dialog.get()));
    ASSERT_FALSE(shell_.messages.empty());
    EXPECT_NE(shell_.messages.back().find("已经下载完成"), std::string::npos);
    EXPECT_EQ(dialog->completedList()->Rows().RowCount(), 1);
    EXPECT_EQ(dialog->completedList()->SelectionMark(), 0);

    // An address already in the list: back on the task list with its row selected.
    enter(Page(7));
    dialog->OnCommand(kIdNew);
    EXPECT_TRUE(dialog->taskList()->isVisibleTo(dialog.get()));
    EXPECT_EQ(dialog->SelectedRow(), 1);

    // The options dialog writes what it shows on OK.
    WhenModal<OptionsDialog>([](OptionsDialog* d) {
        qobject_cast<QLineEdit*>(d->Control(OptionsDialog::kIdMaxTasks))->setText("25");
        d->accept();
    });
    dialog->OnCommand(kIdOptions);
    EXPECT_EQ(platform::SettingsFile(directory_ + "config.ini").ReadInt("options", "maxTaskNum", 5), 20);
}

}  // namespace
}  // namespace tarvane::test
