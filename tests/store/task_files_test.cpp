#include "tarvane/store/task_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tarvane/engine/format_size.h"
#include "tests/support/memory_list_view.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

using test::ReadFile;
using test::WriteFile;

// "中文" in code page 936 and in UTF-8.
constexpr char kAnsiWords[] = "\xD6\xD0\xCE\xC4";
constexpr char kUtf8Words[] = "\xE4\xB8\xAD\xE6\x96\x87";

DownloadTask SampleTask(const std::string& page) {
    DownloadTask task;
    task.name = "game";
    task.frmPge = page;
    task.fileLink = "http://files.example/" + page + ".zip";
    task.path = "/games";
    task.size = "2048";
    task.downloadedSize = "512";
    task.type = "zip";
    task.prxIP = "10.0.0.1";
    task.prxPort = 8080;
    task.prxName = "user";
    task.prxPwd = "secret";
    task.flag = "1";
    task.agent = "agent/1.0";
    return task;
}

// The fields a task item holds, in a form that compares and prints.
std::vector<std::string> Fields(const DownloadTask& t) {
    return {
        t.name,    t.frmPge, t.fileLink, t.path, t.size, t.downloadedSize, t.type, t.prxIP, std::to_string(t.prxPort),
        t.prxName, t.prxPwd, t.flag,     t.agent};
}

void ExpectSameTask(const DownloadTask& actual, const DownloadTask& expected) {
    EXPECT_EQ(Fields(actual), Fields(expected));
}

class TaskFilesTest : public test::TempDirTest {
protected:
    TaskFilesTest()
        : files_([this] {
              std::tm time{};
              time.tm_year = 2026 - 1900;
              time.tm_mon = 2;
              time.tm_mday = 4;
              time.tm_hour = 5;
              time.tm_min = 6;
              time.tm_sec = 7 + ticks_++;
              return time;
          }) {}

    std::string download_ = temp_.File("download.xml");
    std::string completed_ = temp_.File("completed.xml");
    int ticks_ = 0;
    TaskFiles files_;
};

TEST_F(TaskFilesTest, FirstItemIsAddedInsideEmptyRootAndReadsBack) {
    WriteFile(download_, "<tasks/>");
    DownloadTask task = SampleTask("p1");
    ASSERT_TRUE(files_.AddItem(download_, task, false));
    EXPECT_EQ(ReadFile(download_),
              "<tasks>\r\n<item name=\"game\" frmPge=\"p1\" fileLink=\"http://files.example/p1.zip\" path=\"/games\" "
              "size=\"2048\" downloadedSize=\"512\" type=\"zip\" prxIP=\"10.0.0.1\" prxPort=\"8080\" prxName=\"user\" "
              "prxPwd=\"secret\" flag=\"1\" agent=\"agent/1.0\"/>\r\n</tasks>");
    ExpectSameTask(files_.GetTask(download_, "frmPge", "p1"), task);

    ASSERT_TRUE(files_.AddItem(download_, SampleTask("p2"), false));
    EXPECT_EQ(files_.GetItemField(download_, "fileLink", "http://files.example/p2.zip", "frmPge"), "p2");
    std::string text = ReadFile(download_);
    EXPECT_LT(text.find("frmPge=\"p1\""), text.find("frmPge=\"p2\""));
    EXPECT_TRUE(text.ends_with("/>\r\n</tasks>"));
}

TEST_F(TaskFilesTest, FirstMatchingItemWinsAndOtherElementsAreSkipped) {
    WriteFile(download_,
              "<download>\r\n<note frmPge=\"p\" name=\"note\"/>\r\n<item name=\"first\" frmPge=\"p\" flag=\"1\"/>\r\n"
              "<item name=\"second\" frmPge=\"p\" flag=\"1\"/>\r\n</download>\r\n");
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "name"), "first");
    EXPECT_TRUE(files_.SetItemField(download_, "frmPge", "p", "flag", "2"));
    EXPECT_EQ(ReadFile(download_),
              "<download>\r\n<note frmPge=\"p\" name=\"note\"/>\r\n<item name=\"first\" frmPge=\"p\" flag=\"2\"/>\r\n"
              "<item name=\"second\" frmPge=\"p\" flag=\"1\"/>\r\n</download>\r\n");
    EXPECT_TRUE(files_.DeleteItem(download_, "frmPge", "p"));
    EXPECT_EQ(ReadFile(download_),
              "<download>\r\n<note frmPge=\"p\" name=\"note\"/>\r\n<item name=\"second\" frmPge=\"p\" flag=\"1\"/>\r\n"
              "</download>\r\n");
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "name"), "second");
    // An item without the key attribute reads it as empty.
    EXPECT_FALSE(files_.ItemExists(download_, "fileLink", "x"));
    EXPECT_TRUE(files_.ItemExists(download_, "fileLink", ""));
}

TEST_F(TaskFilesTest, SpecialCharactersAndChineseTextRoundTrip) {
    WriteFile(download_, "<download/>");
    DownloadTask task = SampleTask("http://game.example/a?x=1&y=2");
    task.name = std::string("a\"b&c<d>'e ") + kAnsiWords;
    ASSERT_TRUE(files_.AddItem(download_, task, false));
    std::string bytes = ReadFile(download_);
    EXPECT_NE(bytes.find("name=\"a&quot;b&amp;c&lt;d&gt;&apos;e "), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("frmPge=\"http://game.example/a?x=1&amp;y=2\""), std::string::npos) << bytes;
    // Without declaration the file is UTF-8.
    EXPECT_NE(bytes.find(kUtf8Words), std::string::npos);
    ExpectSameTask(files_.GetTask(download_, "frmPge", task.frmPge), task);
}

TEST_F(TaskFilesTest, BytesThatAreNoCharacterNeverBreakTheFile) {
    // A lead byte pairs only with a trail byte: before '"', '>' or '<' it is no character at all.
    WriteFile(download_, "<download/>");
    DownloadTask task = SampleTask("http://game.example/\x81");
    task.name = "a\x81\"\x81>\x81<zz\xFF";
    task.path = "/games/\xD7\xC0\xAA\xA1";  // a pair iconv has no character for
    ASSERT_TRUE(files_.AddItem(download_, task, false));
    files_.UpdateTask(download_, "frmPge", task.frmPge, task);
    DownloadTask read = TaskFiles().GetTask(download_, "frmPge", "http://game.example/?");
    EXPECT_EQ(read.name, "a?\"?>?<zz?");
    EXPECT_EQ(read.path, "/games/\xD7\xC0?");
    EXPECT_EQ(read.fileLink, "http://files.example/http://game.example/?.zip");
}

TEST_F(TaskFilesTest, CompletedItemsAreListedNewestFirst) {
    WriteFile(completed_, "<completed/>");
    for (const char* page : {"pa", "pb", "pc"}) {
        DownloadTask task = SampleTask(page);
        task.name = std::string("name-") + page;
        task.size = "1536";
        ASSERT_TRUE(files_.AddItem(completed_, task, true));
    }
    EXPECT_EQ(files_.GetItemField(completed_, "frmPge", "pc", "path"), "/games/name-pc.zip");
    EXPECT_EQ(files_.GetItemField(completed_, "frmPge", "pa", "cmpTime"), "2026-03-04 05:06:07");
    EXPECT_EQ(files_.GetItemField(completed_, "frmPge", "pc", "cmpTime"), "2026-03-04 05:06:09");
    std::string text = ReadFile(completed_);
    EXPECT_EQ(text.rfind("<completed>\r\n<item name=\"name-pc\" size=\"1536\" type=\"zip\" frmPge=\"pc\" "
                         "fileLink=\"http://files.example/pc.zip\" path=\"/games/name-pc.zip\" "
                         "cmpTime=\"2026-03-04 05:06:09\"/>\r\n",
                         0),
              0u)
        << text;
    EXPECT_EQ(text.find("prxPwd"), std::string::npos);

    test::MemoryListView view(5);
    files_.LoadCompletedList(completed_, view);
    ASSERT_EQ(view.RowCount(), 3);
    EXPECT_EQ(view.SubItemText(0, 0), "name-pc");
    EXPECT_EQ(view.SubItemText(1, 0), "name-pb");
    EXPECT_EQ(view.SubItemText(2, 0), "name-pa");
    EXPECT_EQ(view.SubItemText(0, 1), "1.50KB");
    EXPECT_EQ(view.SubItemText(0, 2), "zip");
    EXPECT_EQ(view.SubItemText(0, 3), "pc");
    EXPECT_EQ(view.SubItemText(2, 4), "2026-03-04 05:06:07");
}

TEST_F(TaskFilesTest, UpdateTaskRewritesEverythingButAgent) {
    WriteFile(download_,
              "<download>\r\n<item name=\"a\" frmPge=\"p1\" flag=\"1\"/>\r\n"
              "<item name=\"b\" frmPge=\"p2\" agent=\"old\" flag=\"1\"/>\r\n</download>");
    DownloadTask update = SampleTask("p1");
    update.agent = "new";
    update.prxPort = -5;
    ASSERT_TRUE(files_.UpdateTask(download_, "frmPge", "p1", update));
    DownloadTask first = files_.GetTask(download_, "frmPge", "p1");
    update.agent = "";
    ExpectSameTask(first, update);
    EXPECT_NE(ReadFile(download_).find("prxPort=\"-5\""), std::string::npos);

    update.frmPge = "p2";
    update.agent = "new";
    ASSERT_TRUE(files_.UpdateTask(download_, "frmPge", "p2", update));
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p2", "agent"), "old");

    const std::string before = ReadFile(download_);
    EXPECT_FALSE(files_.UpdateTask(download_, "frmPge", "nothing", update));
    EXPECT_FALSE(files_.SetItemField(download_, "frmPge", "nothing", "flag", "3"));
    EXPECT_FALSE(files_.DeleteItem(download_, "frmPge", "nothing"));
    EXPECT_EQ(ReadFile(download_), before);
}

TEST_F(TaskFilesTest, SetItemFieldAppendsMissingAttribute) {
    WriteFile(download_, "<download>\r\n<item name='a' frmPge=\"p\" flag=\"1\"/>\r\n</download>");
    ASSERT_TRUE(files_.SetItemField(download_, "frmPge", "p", "prxIP", "proxy"));
    ASSERT_TRUE(files_.SetItemField(download_, "frmPge", "p", "name", "b"));
    EXPECT_EQ(ReadFile(download_),
              "<download>\r\n<item name=\"b\" frmPge=\"p\" flag=\"1\" prxIP=\"proxy\"/>\r\n</download>");
}

TEST_F(TaskFilesTest, UnloadableFilesAreNeverWritten) {
    const std::string broken = "<download>\r\n<item frmPge=\"p\">\r\n</download>";
    for (bool exists : {false, true}) {
        if (exists) {
            WriteFile(download_, broken);
        }
        EXPECT_TRUE(files_.ItemExists(download_, "frmPge", "p"));
        EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "frmPge"), "");
        EXPECT_EQ(files_.GetTask(download_, "frmPge", "p").frmPge, "");
        EXPECT_FALSE(files_.SetItemField(download_, "frmPge", "p", "flag", "2"));
        EXPECT_FALSE(files_.DeleteItem(download_, "frmPge", "p"));
        EXPECT_FALSE(files_.AddItem(download_, SampleTask("q"), false));
        EXPECT_FALSE(files_.UpdateTask(download_, "frmPge", "p", SampleTask("p")));
        test::MemoryListView view;
        files_.LoadDownloadList(download_, view);
        EXPECT_EQ(view.RowCount(), 0);
        if (exists) {
            EXPECT_EQ(ReadFile(download_), broken);
        } else {
            EXPECT_FALSE(std::filesystem::exists(download_));
        }
    }
}

TEST_F(TaskFilesTest, LocatePageLooksInBothFiles) {
    const std::string directory = temp_.Directory();
    EXPECT_EQ(files_.LocatePage(directory, "http://game.example/1"), kPageInDownloadList);

    WriteFile(download_, "<download>\r\n<item frmPge=\"http://game.example/1\"/>\r\n</download>");
    WriteFile(completed_, "<completed>\r\n<item frmPge=\"http://game.example/2\"/>\r\n</completed>");
    EXPECT_EQ(files_.LocatePage(directory, "http://game.example/1"), kPageInDownloadList);
    EXPECT_EQ(files_.LocatePage(directory, "http://game.example/2"), kPageCompleted);
    EXPECT_EQ(files_.LocatePage(directory, "http://game.example/3"), kPageNew);
}

TEST_F(TaskFilesTest, DownloadListRowsShowEveryItem) {
    WriteFile(download_,
              "<download>\r\n"
              "<item name=\"half\" frmPge=\"p1\" fileLink=\"l1\" size=\"2048\" downloadedSize=\"1024\" type=\"zip\" "
              "flag=\"2\"/>\r\n"
              "<item name=\"failed\" frmPge=\"p2\" fileLink=\"l2\" size=\"0\" downloadedSize=\"1536\" type=\"exe\" "
              "flag=\"3\"/>\r\n"
              "<item name=\"bare\" frmPge=\"p3\" size=\"nan\" downloadedSize=\"x\"/>\r\n"
              "</download>");
    test::MemoryListView view;
    view.InsertRow(0, "existing");
    files_.LoadDownloadList(download_, view);
    ASSERT_EQ(view.RowCount(), 4);
    EXPECT_EQ(view.SubItemText(3, 0), "existing");

    EXPECT_EQ(view.Image(0), kImageIdle);
    EXPECT_EQ(view.SubItemText(0, kColumnState), "");
    EXPECT_EQ(view.SubItemText(0, kColumnName), "half");
    EXPECT_EQ(view.SubItemText(0, kColumnSize), "2.00KB");
    EXPECT_EQ(view.SubItemText(0, kColumnPercent), "50.00%");
    EXPECT_EQ(view.SubItemText(0, kColumnPage), "p1");
    EXPECT_EQ(view.SubItemText(0, kColumnType), "zip");
    EXPECT_EQ(view.SubItemText(0, kColumnLink), "l1");

    EXPECT_EQ(view.Image(1), kImageFailed);
    EXPECT_EQ(view.SubItemText(1, kColumnSize), "0.00B");
    EXPECT_EQ(view.SubItemText(1, kColumnPercent), FormatSize(1536));

    EXPECT_EQ(view.Image(2), kImageIdle);
    EXPECT_EQ(view.SubItemText(2, kColumnSize), "0.00B");
    EXPECT_EQ(view.SubItemText(2, kColumnPercent), "0.00B");
    EXPECT_EQ(view.SubItemText(2, kColumnLink), "");
}

// The document kept between operations never hides what another writer did to the file.
TEST_F(TaskFilesTest, ChangesMadeOutsideAreSeen) {
    WriteFile(download_, "<download>\r\n<item frmPge=\"p\" flag=\"1\"/>\r\n</download>");
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "flag"), "1");
    WriteFile(download_, "<download>\r\n<item frmPge=\"p\" flag=\"22\"/>\r\n</download>");
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "flag"), "22");
    ASSERT_TRUE(files_.SetItemField(download_, "frmPge", "p", "flag", "3"));
    EXPECT_EQ(ReadFile(download_), "<download>\r\n<item frmPge=\"p\" flag=\"3\"/>\r\n</download>");

    const std::string other = temp_.File("other.xml");
    WriteFile(other, "<download>\r\n<item frmPge=\"q\" flag=\"1\"/>\r\n</download>");
    std::filesystem::rename(other, download_);
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "flag"), "");
    ASSERT_TRUE(files_.SetItemField(download_, "frmPge", "q", "flag", "2"));
    EXPECT_EQ(ReadFile(download_), "<download>\r\n<item frmPge=\"q\" flag=\"2\"/>\r\n</download>");

    std::filesystem::remove(download_);
    EXPECT_FALSE(files_.SetItemField(download_, "frmPge", "q", "flag", "3"));
    EXPECT_FALSE(std::filesystem::exists(download_));
    WriteFile(download_, "<download><item frmPge=\"q\">");
    EXPECT_FALSE(files_.DeleteItem(download_, "frmPge", "q"));
}

TEST_F(TaskFilesTest, EnsureTaskFilesCreatesOnlyMissingFiles) {
    WriteFile(completed_, "<completed>\r\n<item frmPge=\"kept\"/>\r\n</completed>");
    WriteFile(download_ + ".tmp-abc123", "left by a killed save");
    WriteFile(download_ + ".tmp-keep", "not a save's temporary");
    ASSERT_TRUE(files_.EnsureTaskFiles(temp_.Directory()));
    EXPECT_EQ(ReadFile(download_), "<download/>");
    EXPECT_EQ(ReadFile(completed_), "<completed>\r\n<item frmPge=\"kept\"/>\r\n</completed>");
    EXPECT_FALSE(std::filesystem::exists(download_ + ".tmp-abc123"));
    EXPECT_TRUE(std::filesystem::exists(download_ + ".tmp-keep"));
    struct stat info {};
    ASSERT_EQ(stat(download_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    ASSERT_TRUE(files_.AddItem(download_, SampleTask("p"), false));
    EXPECT_EQ(files_.LocatePage(temp_.Directory(), "p"), kPageInDownloadList);
    EXPECT_EQ(files_.LocatePage(temp_.Directory(), "kept"), kPageCompleted);
    EXPECT_FALSE(files_.EnsureTaskFiles(temp_.Directory() + "missing-folder/"));
}

}  // namespace
}  // namespace tarvane
