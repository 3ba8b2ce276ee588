#include "tarvane/dialogs/completed_list_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <memory>

#include "fakes.h"
#include "platform/codepage.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tests/support/temp_dir.h"

namespace tarvane::test {
namespace {

class CompletedListDialogTest : public TempDirTest {
protected:
    CompletedListDialogTest() {
        environment_.programDirectory = temp_.Directory();
        environment_.applicationName = "tarvane";
        files_.EnsureTaskFiles(temp_.Directory());
    }

    // Items go in at the top, so the last one added is row 0.
    void AddItem(const std::string& page, const std::string& name, const std::string& type, bool fileExists,
                 const std::string& folder = "") {
        DownloadTask task;
        task.frmPge = page;
        task.name = name;
        task.type = type;
        task.size = "2048";
        task.fileLink = "http://files.localhost/" + name + "." + type;
        task.path = folder.empty() ? temp_.path().string() : folder;
        if (fileExists) {
            WriteFile(platform::Utf8FromAnsi(task.path + "/" + name + "." + type), "data");
        }
        ASSERT_TRUE(files_.AddItem(Completed(), task, true));
    }

    std::unique_ptr<CompletedListDialog> Open() {
        CompletedListPorts ports{files_, messages_, clipboard_, desktop_, starter_, confirmation_};
        return std::make_unique<CompletedListDialog>(environment_, ports);
    }

    std::string Completed() const { return temp_.File("completed.xml"); }
    std::string FileOf(const std::string& name) const { return temp_.path().string() + "/" + name; }
    static void Select(CompletedListDialog& pane, int row) { pane.List()->selectRow(row); }

    DialogEnvironment environment_;
    TaskFiles files_;
    FakeMessages messages_;
    FakeClipboard clipboard_;
    FakeDesktop desktop_;
    RecordingStarter starter_;
    FakeConfirmation confirmation_;
};

TEST_F(CompletedListDialogTest, ListsTheFinishedDownloadsNewestFirst) {
    AddItem("http://game.localhost/1.htm", "old", "zip", true);
    AddItem("http://game.localhost/2.htm", AnsiLiteral("新游戏"), "swf", true);
    auto pane = Open();
    QTableWidget* list = pane->List();
    ASSERT_EQ(list->columnCount(), 5);
    const QStringList headings = {"文件名称", "文件大小", "文件类型", "来源页面", "完成时间"};
    const std::vector<int> widths = {250, 70, 70, 340, 150};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(list->horizontalHeaderItem(column)->text(), headings[column]);
        EXPECT_EQ(list->columnWidth(column), widths[column]);
    }
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 0)->text(), QString::fromUtf8("新游戏"));
    EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("2.00KB"));
    EXPECT_EQ(pane->Rows().SubItemText(1, 3), "http://game.localhost/1.htm");
    EXPECT_EQ(pane->SelectionMark(), -1);
    EXPECT_EQ(pane->BuildContextMenu(), nullptr);

    // A download finished since is listed after a reload.
    AddItem("http://game.localhost/3.htm", "newest", "zip", true);
    EXPECT_EQ(list->rowCount(), 2);
    pane->ReloadList();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("newest"));
}

TEST_F(CompletedListDialogTest, MenuOffersPlayOnlyForFlashFiles) {
    AddItem("http://game.localhost/1.htm", "a", "zip", true);
    AddItem("http://game.localhost/2.htm", "b", "SWF", true);
    AddItem("http://game.localhost/3.htm", "c", "swf", true);
    auto pane = Open();
    std::vector<bool> playEnabled;
    for (int row = 0; row < 3; ++row) {
        Select(*pane, row);
        std::unique_ptr<QMenu> menu = pane->BuildContextMenu();
        ASSERT_NE(menu, nullptr);
        QStringList texts;
        std::vector<int> commands;
        for (QAction* action : menu->actions()) {
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            commands.push_back(action->isSeparator() ? 0 : action->data().toInt());
        }
        EXPECT_EQ(texts,
                  (QStringList{"播放", "打开文件", "打开文件夹", "-", "删除", "-", "复制下载地址", "浏览来源页面"}));
        EXPECT_EQ(commands, (std::vector<int>{4000, 4001, 4002, 0, 4005, 0, 4003, 4004}));
        playEnabled.push_back(menu->actions()[0]->isEnabled());
    }
    EXPECT_EQ(playEnabled, (std::vector<bool>{true, true, false}));
}

TEST_F(CompletedListDialogTest, PlayAndOpenStartProgramsWithArgumentVectors) {
    const std::string folder = temp_.path().string() + "/with space " + AnsiLiteral("目录");
    std::filesystem::create_directories(platform::Utf8FromAnsi(folder));
    AddItem("http://game.localhost/1.htm?a=1&b=2", "game one", "swf", true, folder);
    AddItem("http://game.localhost/2.htm", "big", "SWF", true);
    AddItem("http://game.localhost/3.htm", "gone", "zip", false);
    auto pane = Open();

    Select(*pane, 2);
    pane->ActivateSelection();
    ASSERT_EQ(starter_.Started().size(), 1u);
    EXPECT_EQ(starter_.Started()[0].program, platform::Utf8FromAnsi(temp_.Directory() + "pemsot"));
    EXPECT_EQ(starter_.Started()[0].arguments,
              (std::vector<std::string>{"-f", platform::Utf8FromAnsi(folder + "/game one.swf"), "-pl",
                                        "http://game.localhost/1.htm?a=1&b=2"}));

    // Capital letters: opened, not played.
    Select(*pane, 1);
    pane->ActivateSelection();
    ASSERT_EQ(starter_.Started().size(), 2u);
    EXPECT_EQ(starter_.Started()[1].program, "xdg-open");
    EXPECT_EQ(starter_.Started()[1].arguments, std::vector<std::string>{FileOf("big.SWF")});

    // A file that is gone is reported and nothing starts.
    Select(*pane, 0);
    pane->RunCommand(CompletedListDialog::kCommandOpen);
    pane->RunCommand(CompletedListDialog::kCommandPlay);
    EXPECT_EQ(starter_.Started().size(), 2u);
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0].text, AnsiLiteral("文件已不存在！"));
    EXPECT_EQ(messages_.shown[0].caption, "tarvane");
}

TEST_F(CompletedListDialogTest, OpenFolderCopyAndBrowse) {
    const std::string longFolder = temp_.path().string() + "/" + std::string(200, 'd') + "/" + std::string(100, 'e');
    AddItem("http://game.localhost/1.htm", "here", "zip", true);
    AddItem("http://game.localhost/2.htm", "gone", "zip", false);
    AddItem("http://game.localhost/3.htm", "deep", "zip", false, longFolder);
    auto pane = Open();

    Select(*pane, 2);
    pane->RunCommand(CompletedListDialog::kCommandOpenFolder);
    EXPECT_EQ(desktop_.shownFiles, std::vector<std::string>{FileOf("here.zip")});
    Select(*pane, 1);
    pane->RunCommand(CompletedListDialog::kCommandOpenFolder);
    Select(*pane, 0);
    pane->RunCommand(CompletedListDialog::kCommandOpenFolder);
    EXPECT_EQ(desktop_.openedFolders, (std::vector<std::string>{temp_.Directory(), longFolder + "/"}));
    EXPECT_TRUE(messages_.shown.empty());

    pane->RunCommand(CompletedListDialog::kCommandCopyLink);
    pane->RunCommand(CompletedListDialog::kCommandBrowsePage);
    EXPECT_EQ(clipboard_.texts, std::vector<std::string>{"http://files.localhost/deep.zip"});
    EXPECT_EQ(desktop_.webPages, std::vector<std::string>{"http://game.localhost/3.htm"});

    // An item gone from the file copies an empty address.
    files_.DeleteItem(Completed(), "frmPge", "http://game.localhost/3.htm");
    pane->RunCommand(CompletedListDialog::kCommandCopyLink);
    EXPECT_EQ(clipboard_.texts.back(), "");
}

TEST_F(CompletedListDialogTest, DeleteFollowsTheAnswer) {
    AddItem("http://game.localhost/1.htm", "keep", "zip", true);
    AddItem("http://game.localhost/2.htm", "remove", "zip", true);
    auto pane = Open();

    Select(*pane, 0);
    confirmation_.answer = kDeleteCancel;
    pane->RunCommand(CompletedListDialog::kCommandDelete);
    EXPECT_EQ(pane->List()->rowCount(), 2);
    EXPECT_TRUE(files_.ItemExists(Completed(), "frmPge", "http://game.localhost/2.htm"));

    confirmation_.answer = kDeleteWithFile;
    pane->RunCommand(CompletedListDialog::kCommandDelete);
    EXPECT_EQ(pane->List()->rowCount(), 1);
    EXPECT_FALSE(files_.ItemExists(Completed(), "frmPge", "http://game.localhost/2.htm"));
    EXPECT_FALSE(std::filesystem::exists(FileOf("remove.zip")));

    Select(*pane, 0);
    confirmation_.answer = kDeleteKeepFile;
    pane->RunCommand(CompletedListDialog::kCommandDelete);
    EXPECT_EQ(pane->List()->rowCount(), 0);
    EXPECT_FALSE(files_.ItemExists(Completed(), "frmPge", "http://game.localhost/1.htm"));
    EXPECT_TRUE(std::filesystem::exists(FileOf("keep.zip")));
    EXPECT_EQ(confirmation_.asked, 3);
}

TEST_F(CompletedListDialogTest, TwoItemsWithOnePageActOnTheFirstItem) {
    const std::string page = "http://game.localhost/same.htm";
    AddItem(page, "older", "zip", true);
    AddItem(page, "newer", "zip", true);
    auto pane = Open();
    ASSERT_EQ(pane->List()->rowCount(), 2);

    Select(*pane, 1);
    pane->RunCommand(CompletedListDialog::kCommandOpen);
    ASSERT_EQ(starter_.Started().size(), 1u);
    EXPECT_EQ(starter_.Started()[0].arguments, std::vector<std::string>{FileOf("newer.zip")});

    confirmation_.answer = kDeleteWithFile;
    pane->RunCommand(CompletedListDialog::kCommandDelete);
    // The clicked row goes, the first item of the file goes with its file.
    ASSERT_EQ(pane->List()->rowCount(), 1);
    EXPECT_EQ(pane->List()->item(0, 0)->text(), QStringLiteral("newer"));
    EXPECT_EQ(files_.GetItemField(Completed(), "frmPge", page, "name"), "older");
    EXPECT_FALSE(std::filesystem::exists(FileOf("newer.zip")));
    EXPECT_TRUE(std::filesystem::exists(FileOf("older.zip")));
}

TEST_F(CompletedListDialogTest, SelectBySourcePageAndTheKeptSelectionMark) {
    for (int i = 0; i < 40; ++i) {
        AddItem("http://game.localhost/" + std::to_string(i) + ".htm", "g" + std::to_string(i), "zip", true);
    }
    auto pane = Open();
    // Laid over the main window's narrower task list, the list fills the pane and scrolls in it.
    pane->setGeometry(0, 0, 743, 444);
    pane->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
    EXPECT_EQ(pane->List()->geometry(), pane->rect());

    pane->SelectBySourcePage("http://game.localhost/nothing.htm");
    EXPECT_EQ(pane->SelectionMark(), -1);
    pane->SelectBySourcePage("http://game.localhost/2.htm");
    QTableWidget* list = pane->List();
    EXPECT_EQ(pane->SelectionMark(), 37);
    EXPECT_TRUE(list->item(37, 3)->isSelected());
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(37, 0))));

    // A click on a row selects it; a click beside the columns keeps the mark, and the menu is for it.
    pane->resize(1000, 444);
    EXPECT_EQ(list->geometry(), pane->rect());
    list->scrollToTop();
    QRect second = list->visualItemRect(list->item(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(pane->SelectionMark(), 1);
    int rightOfColumns = list->horizontalHeader()->length() + 5;
    ASSERT_LT(rightOfColumns, list->viewport()->width());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rightOfColumns, second.center().y()));
    EXPECT_EQ(pane->SelectionMark(), 1);
    EXPECT_NE(pane->BuildContextMenu(), nullptr);
}

}  // namespace
}  // namespace tarvane::test
