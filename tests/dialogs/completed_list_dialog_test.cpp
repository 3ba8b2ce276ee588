#include "tarvane/dialogs/completed_list_dialog.h"
#include "tarvane/engine/finished_item.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "dialog_fixture.h"
#include "platform/codepage.h"
#include "tests/support/spin.h"

namespace tarvane::test {
namespace {

class CompletedListDialogTest : public DialogTest {
protected:
    static std::string Page(int n) { return "http://game.localhost/" + std::to_string(n) + ".htm"; }
    bool Listed(int page) const { return tasks_.LocatePage(Page(page)) == kPageCompleted; }
    std::string FileOf(const std::string& name) const { return temp_.path().string() + "/" + name; }

    // Items go in at the top, so the last one added is row 0.
    void AddItem(int page, const std::string& name, const std::string& type, bool fileExists,
                 const std::string& folder = "") {
        DownloadTask task;
        task.frmPge = Page(page);
        task.name = name;
        task.type = type;
        task.size = "2048";
        task.fileLink = "http://files.localhost/" + name + "." + type;
        task.path = folder.empty() ? temp_.path().string() : folder;
        if (fileExists) {
            WriteFile(platform::Utf8FromAnsi(task.path + "/" + name + "." + type), "data");
        }
        // As a task that finishes: on top.
        tasks_.Finish(tasks_.Add(EntryFromStored(task)), FinishedItem(task, {}));
    }

    void Open() {
        pane_ = std::make_unique<CompletedListDialog>(
            environment_, CompletedListPorts{tasks_, messages_, clipboard_, desktop_, starter_, confirmation_,
                                             unpacker_, passwords_});
    }
    // Whether the row's menu offers to open its game folder, and to unpack it.
    std::pair<bool, bool> GameCommands(int row) {
        pane_->List()->selectRow(row);
        std::unique_ptr<QMenu> menu = pane_->BuildContextMenu();
        const QList<QAction*> actions = menu->actions();
        auto enabled = [&](int command) {
            return std::any_of(actions.begin(), actions.end(),
                               [&](QAction* a) { return a->data().toInt() == command && a->isEnabled(); });
        };
        return {enabled(CompletedListDialog::kCommandOpenGameFolder), enabled(CompletedListDialog::kCommandUnpack)};
    }

    // Answers the outcomes in order, the first answer on a thread of its own as the engine would.
    struct ScriptedUnpacker : FinishedUnpacker {
        UnpackResult UnpackFinished(const std::string& page, const std::string& password,
                                    const std::atomic<bool>&) override {
            calls.push_back(page + " " + password);
            UnpackOutcome outcome = outcomes.at(calls.size() - 1);
            if (outcome == UnpackOutcome::Done) {
                books.UpdateFinished(page, [this](CompletedItem& item) { item.gameFolder = folder; });
            }
            return {outcome, folder, "", {}};
        }
        explicit ScriptedUnpacker(TaskBook& book) : books(book) {}
        TaskBook& books;
        std::string folder;
        std::vector<UnpackOutcome> outcomes;
        std::vector<std::string> calls;
    };
    void Run(int row, int command) {
        pane_->List()->selectRow(row);
        pane_->RunCommand(command);
    }

    FakeClipboard clipboard_;
    FakeDesktop desktop_;
    RecordingStarter starter_;
    FakeConfirmation confirmation_;
    ScriptedUnpacker unpacker_{tasks_};
    FakePasswordPrompt passwords_;
    std::unique_ptr<CompletedListDialog> pane_;
};

TEST_F(CompletedListDialogTest, ListsTheFinishedDownloadsNewestFirstAndOffersPlayOnlyForFlashFiles) {
    AddItem(1, "a", "zip", true);
    AddItem(2, "b", "SWF", true);
    AddItem(3, AnsiLiteral("新游戏"), "swf", true);
    Open();
    QTableWidget* list = pane_->List();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(0, 0)->text(), QString::fromUtf8("新游戏"));
    EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("2.00KB"));
    EXPECT_EQ(pane_->Rows().SubItemText(2, 3), Page(1));
    EXPECT_EQ(pane_->BuildContextMenu(), nullptr);

    for (int row = 0; row < 3; ++row) {
        list->selectRow(row);
        std::unique_ptr<QMenu> menu = pane_->BuildContextMenu();
        ASSERT_NE(menu, nullptr);
        std::vector<int> commands;  // play, open, folder, delete, copy address, source page
        for (QAction* action : menu->actions()) {
            commands.push_back(action->isSeparator() ? 0 : action->data().toInt());
        }
        EXPECT_EQ(commands, (std::vector<int>{4000, 4001, 4002, 4006, 4007, 0, 4005, 0, 4003, 4004}));
        EXPECT_EQ(menu->actions()[0]->isEnabled(), row < 2) << row;
    }

    // A download finished since is listed after a reload.
    AddItem(4, "newest", "zip", true);
    pane_->ReloadList();
    ASSERT_EQ(list->rowCount(), 4);
    EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("newest"));
}

TEST_F(CompletedListDialogTest, CommandsActOnTheFirstItemOfTheRowsPage) {
    const std::string folder = temp_.path().string() + "/with space " + AnsiLiteral("目录");
    std::filesystem::create_directories(platform::Utf8FromAnsi(folder));
    AddItem(1, "game one", "swf", true, folder);
    AddItem(2, "big", "SWF", true);
    AddItem(3, "gone", "zip", false);
    AddItem(5, "older", "zip", true);
    AddItem(5, "newer", "zip", true);
    Open();

    // A double-click plays Flash files, and opens the others (capital letters too).
    pane_->List()->selectRow(4);
    pane_->ActivateSelection();
    pane_->List()->selectRow(3);
    pane_->ActivateSelection();
    Run(1, CompletedListDialog::kCommandOpen);
    const std::vector<StartedProgram> started = starter_.Started();
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[0].program, platform::Utf8FromAnsi(temp_.Directory() + "pemsot"));
    EXPECT_EQ(started[0].arguments,
              (std::vector<std::string>{"-f", platform::Utf8FromAnsi(folder + "/game one.swf"), "-pl", Page(1)}));
    EXPECT_EQ(started[1].program, "xdg-open");
    EXPECT_EQ(started[1].arguments, std::vector<std::string>{FileOf("big.SWF")});
    EXPECT_EQ(started[2].arguments, std::vector<std::string>{FileOf("newer.zip")});

    // A file that is gone is reported and nothing starts; its folder still opens.
    Run(2, CompletedListDialog::kCommandOpen);
    Run(2, CompletedListDialog::kCommandPlay);
    EXPECT_EQ(starter_.Started().size(), 3u);
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0].text, AnsiLiteral("文件已不存在！"));
    EXPECT_TRUE(messages_.shown[0].warning);
    Run(3, CompletedListDialog::kCommandOpenFolder);
    Run(2, CompletedListDialog::kCommandOpenFolder);
    EXPECT_EQ(desktop_.shownFiles, std::vector<std::string>{FileOf("big.SWF")});
    EXPECT_EQ(desktop_.openedFolders, std::vector<std::string>{temp_.Directory()});

    pane_->RunCommand(CompletedListDialog::kCommandCopyLink);
    pane_->RunCommand(CompletedListDialog::kCommandBrowsePage);
    EXPECT_EQ(clipboard_.texts, std::vector<std::string>{"http://files.localhost/gone.zip"});
    EXPECT_EQ(desktop_.webPages, std::vector<std::string>{Page(3)});
}

TEST_F(CompletedListDialogTest, DeleteFollowsTheAnswerRemovesTheClickedRowAndThePagesFirstItemAndSaysWhatItCannot) {
    AddItem(1, "keep", "zip", true);
    AddItem(2, "remove", "zip", true);
    AddItem(3, "older", "zip", true);
    AddItem(3, "newer", "zip", true);
    Open();
    const auto remove = [&](int row, int answer) {
        confirmation_.answer = answer;
        Run(row, CompletedListDialog::kCommandDelete);
    };
    remove(2, kDeleteCancel);
    EXPECT_EQ(pane_->List()->rowCount(), 4);
    EXPECT_TRUE(Listed(2));
    remove(2, kDeleteWithFile);
    EXPECT_EQ(pane_->List()->rowCount(), 3);
    EXPECT_FALSE(Listed(2));
    EXPECT_FALSE(std::filesystem::exists(FileOf("remove.zip")));
    remove(2, kDeleteKeepFile);
    EXPECT_EQ(pane_->List()->rowCount(), 2);
    EXPECT_FALSE(Listed(1));
    EXPECT_TRUE(std::filesystem::exists(FileOf("keep.zip")));

    remove(1, kDeleteWithFile);
    ASSERT_EQ(pane_->List()->rowCount(), 1);
    EXPECT_EQ(pane_->List()->item(0, 0)->text(), QStringLiteral("newer"));
    EXPECT_EQ(tasks_.FinishedTasks().front().name, "older");
    EXPECT_FALSE(std::filesystem::exists(FileOf("newer.zip")));
    EXPECT_TRUE(std::filesystem::exists(FileOf("older.zip")));
    EXPECT_EQ(confirmation_.asked, 4);

    // A file that cannot be removed is named once its entry has gone.
    std::filesystem::remove(FileOf("older.zip"));
    std::filesystem::create_directory(FileOf("older.zip"));
    remove(0, kDeleteWithFile);
    EXPECT_EQ(pane_->List()->rowCount(), 0);
    EXPECT_FALSE(Listed(3));
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{AnsiLiteral("已从列表中删除，但文件无法删除：") +
                                                        FileOf("older.zip") + AnsiLiteral("（这是一个文件夹）。")}));
}

TEST_F(CompletedListDialogTest, SelectBySourcePageAndTheKeptSelectionMark) {
    for (int i = 0; i < 40; ++i) {
        AddItem(i, "g" + std::to_string(i), "zip", true);
    }
    Open();
    pane_->resize(1000, 444);
    pane_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pane_.get()));
    QTableWidget* list = pane_->List();
    pane_->SelectBySourcePage(Page(2));
    EXPECT_EQ(pane_->SelectionMark(), 37);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(37, 0))));
}

// "打开游戏文件夹" only where the archive was unpacked and its folder is there; "解压" only for an
// archive without one. A password is asked until it fits, and why is said.
TEST_F(CompletedListDialogTest, GameFolderAndUnpackCommandsFollowTheEntryAndAskForThePassword) {
    const std::string folder = FileOf("unpacked");
    std::filesystem::create_directory(folder);
    AddItem(1, "unpacked", "zip", true);
    tasks_.UpdateFinished(Page(1), [&](CompletedItem& item) { item.gameFolder = folder; });
    AddItem(2, "gone", "7z", true);
    tasks_.UpdateFinished(Page(2), [&](CompletedItem& item) {
        item.gameFolder = FileOf("moved away");
        item.unpackFailure = AnsiLiteral("需要密码");
    });
    AddItem(3, "flash", "swf", true);
    Open();
    using Dialog = CompletedListDialog;
    // Rows newest first.
    EXPECT_TRUE(GameCommands(0) == std::pair(false, false) && GameCommands(1) == std::pair(false, true) &&
                GameCommands(2) == std::pair(true, false));
    EXPECT_EQ(pane_->List()->item(1, 3)->toolTip(), QString::fromUtf8("需要密码"));
    Run(2, Dialog::kCommandOpenGameFolder);
    EXPECT_EQ(desktop_.openedFolders, std::vector<std::string>{folder});

    unpacker_.folder = FileOf("gone");
    unpacker_.outcomes = {UnpackOutcome::NeedPassword, UnpackOutcome::WrongPassword, UnpackOutcome::Done};
    passwords_.answers = {"a", "b"};
    std::filesystem::create_directory(unpacker_.folder);
    Run(1, Dialog::kCommandUnpack);
    EXPECT_EQ(GameCommands(1), std::pair(false, false));  // one unpack at a time
    ASSERT_TRUE(SpinUntil([&] { return passwords_.answers.empty() && !pane_->Unpacking(); }));
    EXPECT_EQ(unpacker_.calls, (std::vector<std::string>{Page(2) + " ", Page(2) + " a", Page(2) + " b"}));
    ASSERT_EQ(passwords_.labels.size(), 2u);
    EXPECT_EQ(passwords_.labels[1].find(AnsiLiteral("密码错误")), 0u);
    EXPECT_EQ(GameCommands(1), std::pair(true, false));
}

TEST(DeleteConfirmDialogTest, AnswersFollowTheButtonAndTheBoxAndTheWindowsCloseCancels) {
    using Act = std::function<void(DeleteConfirmDialog&)>;
    const Act check = [](DeleteConfirmDialog& d) { d.DeleteFileBox()->click(); };
    const Act yes = [](DeleteConfirmDialog& d) { d.YesButton()->click(); };
    const Act no = [](DeleteConfirmDialog& d) { d.NoButton()->click(); };
    const Act escape = [](DeleteConfirmDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); };
    const Act close = [](DeleteConfirmDialog& d) { d.close(); };  // the window manager's
    const std::vector<std::pair<std::vector<Act>, int>> cases = {{{yes}, kDeleteKeepFile},
                                                                 {{check, yes}, kDeleteWithFile},
                                                                 {{check, no}, kDeleteCancel},
                                                                 {{escape}, kDeleteCancel},
                                                                 {{check, close}, kDeleteCancel}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        DeleteConfirmDialog dialog;
        dialog.show();
        for (const Act& act : cases[i].first) {
            act(dialog);
        }
        EXPECT_EQ(dialog.result(), cases[i].second) << i;
        EXPECT_FALSE(dialog.isVisible()) << i;
    }

    DeleteConfirmDialogAsker asker;
    WhenModal<DeleteConfirmDialog>([](DeleteConfirmDialog* dialog) {
        dialog->DeleteFileBox()->setChecked(true);
        dialog->YesButton()->click();
    });
    EXPECT_EQ(asker.Ask(nullptr), kDeleteWithFile);
}

}  // namespace
}  // namespace tarvane::test
