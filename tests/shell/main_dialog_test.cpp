#include "tarvane/shell/main_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <thread>

#include "platform/settings.h"
#include "platform/settings_file.h"
#include "tarvane/dialogs/options_dialog.h"
#include "tarvane/shell/controls/link_label.h"
#include "tests/dialogs/fakes.h"
#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

using MainDialogTest = ShellTest;

void Click(MainDialog& dialog, int id) {
    qobject_cast<QAbstractButton*>(dialog.control(id))->click();
}

TEST_F(MainDialogTest, StartUpOrder) {
    std::string page = StallingPage(1);
    StoreTask(9, "old");  // left from the last run
    std::filesystem::remove(temp_.File("updater"));

    auto dialog = MakeDialog("tarvane://>" + page + "<");
    std::vector<std::string> seen;
    std::string handedOver = StallingPage(2);
    shell_.onMessage = [&] {
        seen.push_back(dialog->windowTitle().toStdString() + " rows=" + std::to_string(dialog->model().rowCount()));
        // A hand-off served by the message's event loop waits for the list.
        dialog->OnCopyData(0, {handedOver, "", "", 0});
    };
    dialog->Initialize();

    // The updater message comes after the title and before anything is listed, then the site opens.
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_NE(shell_.messages[0].find("没有找到升级程序"), std::string::npos);
    EXPECT_EQ(seen[0], "Quellora rows=0");
    EXPECT_EQ(shell_.desktop, std::vector<std::string>{"web:http://127.0.0.1:" + std::to_string(site_.port()) + "/"});
    // The stored task is listed before the command-line link and the early hand-off become tasks.
    ASSERT_TRUE(SpinUntil([&] { return dialog->model().rowCount() == 3; }));
    EXPECT_EQ(dialog->model().Text(0, kColumnPage), Page(9));
    EXPECT_EQ(dialog->model().Text(1, kColumnPage), page);
    EXPECT_EQ(dialog->model().Text(2, kColumnPage), handedOver);
    ASSERT_TRUE(dialog->engine().Flush());
    EXPECT_EQ(dialog->engine().files.GetItemField(directory_ + kDownloadFileName, "frmPge", page, "agent"),
              kDefaultAgent);
}

TEST_F(MainDialogTest, DamagedTaskFileAndUnwritableSchemeHandlerAreSaidAndLinksAreStillTaken) {
    WriteFile(directory_ + kDownloadFileName, "<download><item name=\"x\" frmPge=");
    WriteFile(temp_.File("data"), "a file where the data folder should be");
    auto dialog = MakeDialog("tarvane://>" + StallingPage(3) + "<");
    dialog->Initialize();
    ASSERT_EQ(shell_.messages.size(), 2u);
    EXPECT_EQ(shell_.messages[0], "Quellora: 写注册表失败了！您可以升级新版本来解决这个问题。");
    EXPECT_NE(shell_.messages[1].find("download.xml.damaged-"), std::string::npos);
    dialog->OnCopyData(0, {StallingPage(4), "", "", 0});
    ASSERT_TRUE(SpinUntil([&] { return dialog->model().rowCount() == 2; }));
    EXPECT_EQ(dialog->model().Text(1, kColumnPage), Page(4));

    // Damaged while running: a link handed over now is taken, kept with the others, and it is said.
    // The two transfers have saved their start and stall, so no save of theirs overwrites the damage.
    ASSERT_TRUE(SpinUntil([&] {
        return std::ranges::all_of(std::vector{3, 4}, [&](int page) {
            return !dialog->engine()
                        .files.GetItemField(directory_ + kDownloadFileName, "frmPge", Page(page), "size")
                        .empty();
        });
    }));
    WriteFile(directory_ + kDownloadFileName, "garbage");
    dialog->OnCopyData(0, {StallingPage(5), "", "", 0});
    EXPECT_TRUE(SpinUntil([&] { return dialog->model().rowCount() == 3; }));
    ASSERT_TRUE(SpinUntil([&] { return shell_.messages.size() == 3; }));
    EXPECT_NE(shell_.messages[2].find("download.xml 在程序运行时被损坏"), std::string::npos);
    ASSERT_TRUE(dialog->engine().Flush());
    for (int page : {3, 4, 5}) {
        EXPECT_EQ(dialog->engine().files.GetItemField(directory_ + kDownloadFileName, "frmPge", Page(page), "frmPge"),
                  Page(page));
    }
}

TEST_F(MainDialogTest, OptionsAndTheCloseButtonInItsThreeCases) {
    {
        auto dialog = MakeDialog();
        dialog->Initialize();
        dialog->show();
        Click(*dialog, kIdClose);  // closeToStay absent: to the tray without a question
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
    }
    WriteConfig("[options]\ncloseToStay=0\ndefaultPath=" + temp_.File("saved") + "\n");
    {
        auto dialog = MakeDialog();
        dialog->Initialize();
        dialog->show();
        // The options dialog writes what it shows on OK, to the program directory.
        WhenModal<OptionsDialog>([](OptionsDialog* d) {
            qobject_cast<QLineEdit*>(d->Control(OptionsDialog::kIdMaxTasks))->setText("25");
            d->accept();
        });
        Click(*dialog, kIdOptions);
        EXPECT_EQ(platform::SettingsFile(directory_ + "config.ini").ReadInt("options", "maxTaskNum", 5), 20);
        Click(*dialog, kIdClose);  // nothing runs: ends at once
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(shell_.messages.empty());
    }
    {
        auto dialog = MakeDialog("tarvane://>" + StallingPage(2) + "<");
        dialog->Initialize();
        dialog->show();
        ASSERT_TRUE(SpinUntil([&] { return dialog->engine().tables.AnyWorkerRunning(); }));
        shell_.answer = MessageAnswer::Cancel;
        // Escape and the window manager's close ask as the close button does. Cancel: to the tray,
        // the task keeps running.
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        dialog->show();
        dialog->close();
        dialog->show();
        Click(*dialog, kIdClose);
        ASSERT_EQ(shell_.messages.size(), 3u);
        EXPECT_NE(shell_.messages[0].find("有任务正在进行中"), std::string::npos);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_TRUE(dialog->engine().tables.AnyWorkerRunning());

        dialog->show();
        shell_.answer = MessageAnswer::Ok;
        Click(*dialog, kIdClose);  // OK: every transfer asked to stop, then the end
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(SpinUntil([&] { return !dialog->engine().tables.AnyWorkerRunning(); }));
        dialog->Finish();
        // The paused task kept its place and its count.
        std::string download = directory_ + kDownloadFileName;
        EXPECT_EQ(dialog->engine().files.GetItemField(download, "frmPge", Page(2), "flag"), "2");
    }
}

TEST_F(MainDialogTest, TabsAndTheTaskMenuAct) {
    StoreTask(7, "paused");
    auto dialog = MakeDialog();
    dialog->Initialize();
    dialog->show();
    auto state = [&] {
        std::string bits;
        for (int id : {kIdTabDownloading, kIdTabCompleted, kIdStart, kIdPause, kIdDelete}) {
            bits += dialog->control(id)->isEnabled() ? '1' : '0';
        }
        return bits + (dialog->taskList()->isVisible() ? " list" : "");
    };
    // The widest speed fits its column.
    dialog->engine().book.Update(dialog->model().IdOfRow(0), [](TaskEntry& task) { task.speedKBps = 99999; });
    QAbstractItemView* list = dialog->taskList();
    EXPECT_GE(dialog->taskList()->columnWidth(kColumnSpeed), list->sizeHintForColumn(kColumnSpeed));
    Click(*dialog, kIdTabCompleted);
    EXPECT_EQ(state(), "10000");
    Click(*dialog, kIdTabDownloading);
    EXPECT_EQ(state(), "01111 list");

    EXPECT_EQ(dialog->BuildTaskMenu(), nullptr);  // nothing selected
    dialog->taskList()->selectRow(0);
    std::unique_ptr<QMenu> menu = dialog->BuildTaskMenu();
    ASSERT_NE(menu, nullptr);
    menu->actions()[8]->trigger();  // copy the link
    EXPECT_EQ(shell_.clipboard, site_.Url("/paused.bin"));
    menu->actions()[0]->trigger();  // start
    EXPECT_TRUE(dialog->engine().tables.AnyWorkerRunning());
    Click(*dialog, kIdPause);
    EXPECT_TRUE(SpinUntil([&] { return !dialog->engine().tables.AnyWorkerRunning(); }));
}

// A task that leaves the list takes the highlight with it: no other row becomes the target of a
// command the user gives next.
TEST_F(MainDialogTest, TheHighlightLeavesWithItsTaskAndNeverMovesToAnother) {
    for (int number : {6, 7, 8}) {
        StoreTask(number, "paused" + std::to_string(number));
    }
    auto dialog = MakeDialog();
    dialog->Initialize();
    dialog->show();
    TaskListModel& model = dialog->model();
    TaskBook& book = dialog->engine().book;
    ASSERT_EQ(model.rowCount(), 3);
    // A row the user did not pick goes: the pick stays.
    dialog->taskList()->selectRow(1);
    TaskId picked = model.IdOfRow(1);
    book.Remove(model.IdOfRow(0));
    EXPECT_EQ(dialog->SelectedTask(), picked);

    // The picked task goes from a worker's thread, as a finished one does.
    std::thread([&] { book.Remove(picked); }).join();
    ASSERT_TRUE(SpinUntil([&] { return model.rowCount() == 1; }));
    EXPECT_FALSE(dialog->taskList()->selectionModel()->hasSelection());
    EXPECT_EQ(dialog->SelectedTask(), kNoTask);
    EXPECT_EQ(dialog->BuildTaskMenu(), nullptr);
    Click(*dialog, kIdDelete);
    EXPECT_TRUE(shell_.messages.empty());
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(dialog->engine().files.GetItemField(directory_ + kDownloadFileName, "frmPge", Page(8), "flag"), "2");
}

TEST_F(MainDialogTest, TrayIconAndItsMenu) {
    auto dialog = MakeDialog("tarvane://>" + StallingPage(5) + "<");
    dialog->Initialize();
    ASSERT_TRUE(SpinUntil([&] { return dialog->engine().tables.AnyWorkerRunning(); }));
    dialog->show();
    dialog->showMinimized();
    dialog->HideToTray();
    ASSERT_FALSE(dialog->isVisible());
    emit dialog->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isMinimized());

    // A category and help start the game browser; the tray's update entry starts the updater.
    shell_.started.clear();
    dialog->categoryLabel(1063)->Click();
    dialog->OnLinkLabelClicked(1037);  // not a category
    Click(*dialog, kIdHelp);
    dialog->BuildTrayMenu()->actions()[6]->trigger();
    ASSERT_EQ(shell_.started.size(), 3u);
    EXPECT_EQ(shell_.started[0].first, temp_.File("selvik"));
    EXPECT_EQ(shell_.started[0].second,
              std::vector<std::string>{"http://game.quellora.localhost:8717/dispenseUrl/12.htm"});
    EXPECT_EQ(shell_.started[1].second, std::vector<std::string>{"http://127.0.0.1:" + std::to_string(site_.port()) +
                                                                 "/soft/help/downloader_help.htm"});
    EXPECT_EQ(shell_.started[2].first, temp_.File("updater"));

    // "限速" without a limit set yet asks for one, which the transfers take at once; from then on it
    // switches between none and the last one, and shows which.
    WhenModal<OptionsDialog>([](OptionsDialog* d) {
        qobject_cast<QLineEdit*>(d->Control(OptionsDialog::kIdMaxSpeed))->setText("300");
        d->accept();
    });
    for (int expected : {300, 0, 300}) {
        dialog->BuildTrayMenu()->actions()[7]->trigger();
        EXPECT_EQ(dialog->engine().limiter.Limit(), expected);
        EXPECT_EQ(platform::Settings(directory_).MaxSpeed(), expected);
        EXPECT_EQ(dialog->BuildTrayMenu()->actions()[7]->isChecked(), expected > 0);
    }

    // Exit while a task runs asks first; Cancel leaves everything as it was.
    const MainActions& actions = dialog->windowActions();
    dialog->HideToTray();
    shell_.answer = MessageAnswer::Cancel;
    actions.exit->trigger();
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(dialog->engine().tables.AnyWorkerRunning());
    actions.showWindow->trigger();
    EXPECT_TRUE(dialog->isVisible());
    dialog->engine().tables.PauseAllWorkers();
    ASSERT_TRUE(SpinUntil([&] { return !dialog->engine().tables.AnyWorkerRunning(); }));
}

}  // namespace
}  // namespace tarvane::test
