#include "tarvane/store/task_files.h"
#include "tarvane/store/task_file_repair.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tarvane/engine/task_columns.h"
#include "tests/support/memory_list_view.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

using test::ReadFile;
using test::WriteFile;

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

// Changes with every save, whether it replaces the file or writes into it.
std::string StampOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return "";
    }
    return std::to_string(info.st_ino) + "/" + std::to_string(info.st_size) + "/" +
           std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
}

// The fields a task item holds, in a form that compares and prints.
std::vector<std::string> Fields(const DownloadTask& t) {
    return {
        t.name,    t.frmPge, t.fileLink, t.path, t.size, t.downloadedSize, t.type, t.prxIP, std::to_string(t.prxPort),
        t.prxName, t.prxPwd, t.flag,     t.agent};
}

// A stored task as the list shows it: its image and its cells, joined by '|'.
std::string RowText(const DownloadTask& task) {
    TaskEntry entry = EntryFromStored(task);
    std::string text = std::to_string(TaskImageOf(entry));
    for (int column = 0; column < kTaskColumnCount; ++column) {
        text += "|" + TaskCellText(entry, column);
    }
    return text;
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

TEST_F(TaskFilesTest, ItemsAreAddedInOrderAndReadBack) {
    WriteFile(download_, "<tasks/>");
    DownloadTask task = SampleTask("p1");
    ASSERT_TRUE(files_.AddItem(download_, task, false));
    EXPECT_EQ(ReadFile(download_),
              "<tasks>\r\n<item name=\"game\" frmPge=\"p1\" fileLink=\"http://files.example/p1.zip\" path=\"/games\" "
              "size=\"2048\" downloadedSize=\"512\" type=\"zip\" prxIP=\"10.0.0.1\" prxPort=\"8080\" prxName=\"user\" "
              "prxPwd=\"secret\" flag=\"1\" agent=\"agent/1.0\"/>\r\n</tasks>");
    EXPECT_EQ(Fields(files_.GetTask(download_, "frmPge", "p1")), Fields(task));

    ASSERT_TRUE(files_.AddItem(download_, SampleTask("p2"), false));
    std::string text = ReadFile(download_);
    EXPECT_LT(text.find("frmPge=\"p1\""), text.find("frmPge=\"p2\""));

    // Special characters and Chinese text round-trip; without declaration the file is UTF-8.
    task = SampleTask("http://game.example/a?x=1&y=2");
    task.name = "a\"b&c<d>'e \xD6\xD0\xCE\xC4";
    ASSERT_TRUE(files_.AddItem(download_, task, false));
    text = ReadFile(download_);
    EXPECT_NE(text.find("name=\"a&quot;b&amp;c&lt;d&gt;&apos;e \xE4\xB8\xAD\xE6\x96\x87\""), std::string::npos);
    EXPECT_EQ(Fields(files_.GetTask(download_, "frmPge", task.frmPge)), Fields(task));

    // A lead byte pairs only with a trail byte: before '"', '>' or '<' it is no character at all.
    task = SampleTask("http://game.example/\x81");
    task.name = "a\x81\"\x81>\x81<zz\xFF";
    task.path = "/games/\xD7\xC0\xAA\xA1";  // a pair iconv has no character for
    ASSERT_TRUE(files_.AddItem(download_, task, false));
    files_.ApplyDownloadChanges(download_, {{TaskFiles::DownloadChange::Kind::Update, task}});
    DownloadTask read = TaskFiles().GetTask(download_, "frmPge", "http://game.example/?");
    EXPECT_EQ(read.name, "a?\"?>?<zz?");
    EXPECT_EQ(read.path, "/games/\xD7\xC0?");
}

TEST_F(TaskFilesTest, FirstMatchingItemWinsAndOtherElementsAreSkipped) {
    WriteFile(download_,
              "<download>\r\n<note frmPge=\"p\" name=\"note\"/>\r\n<item name='first' frmPge=\"p\" flag=\"1\"/>\r\n"
              "<item name=\"second\" frmPge=\"p\" flag=\"1\"/>\r\n</download>\r\n");
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "name"), "first");
    EXPECT_TRUE(files_.SetItemField(download_, "frmPge", "p", "flag", "2"));
    EXPECT_TRUE(files_.SetItemField(download_, "frmPge", "p", "name", "b"));
    EXPECT_EQ(ReadFile(download_),
              "<download>\r\n<note frmPge=\"p\" name=\"note\"/>\r\n<item name=\"b\" frmPge=\"p\" flag=\"2\"/>\r\n<item "
              "name=\"second\" frmPge=\"p\" flag=\"1\"/>\r\n</download>\r\n");
    EXPECT_TRUE(files_.DeleteItem(download_, "frmPge", "p"));
    EXPECT_EQ(ReadFile(download_),
              "<download>\r\n<note frmPge=\"p\" name=\"note\"/>\r\n<item name=\"second\" frmPge=\"p\" flag=\"1\"/>\r\n"
              "</download>\r\n");
    // A key that begins another key, or holds bytes that are not code page 936 (stored made valid),
    // or an entity, finds only its own item.
    for (const std::string& page :
         {std::string("http://g/1.htm?a&b"), std::string("http://g/1.htm"), std::string("http://g/\xFF\x81.htm")}) {
        DownloadTask task = SampleTask(page);
        task.name = page;
        ASSERT_TRUE(files_.AddItem(download_, task, false));
    }
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "http://g/1.htm", "name"), "http://g/1.htm");
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "http://g/1.htm?a&b", "name"), "http://g/1.htm?a&b");
    EXPECT_FALSE(files_.GetItemField(download_, "frmPge", "http://g/\xFF\x81.htm", "name").empty());
    EXPECT_TRUE(files_.DeleteItem(download_, "frmPge", "http://g/1.htm"));
    EXPECT_TRUE(files_.ItemExists(download_, "frmPge", "http://g/1.htm?a&b"));
    EXPECT_FALSE(files_.ItemExists(download_, "frmPge", "http://g/1.htm"));
}

TEST_F(TaskFilesTest, CompletedItemsAreListedNewestFirst) {
    WriteFile(completed_, "<completed/>");
    for (const char* page : {"pa", "pb", "pc"}) {
        DownloadTask task = SampleTask(page);
        task.name = std::string("name-") + page;
        task.size = "1536";
        ASSERT_TRUE(files_.AddItem(completed_, task, true));
    }
    std::string text = ReadFile(completed_);
    EXPECT_EQ(text.rfind("<completed>\r\n<item name=\"name-pc\" size=\"1536\" type=\"zip\" frmPge=\"pc\" "
                         "fileLink=\"http://files.example/pc.zip\" path=\"/games/name-pc.zip\" "
                         "cmpTime=\"2026-03-04 05:06:09\"/>\r\n",
                         0),
              0u)
        << text;
}

TEST_F(TaskFilesTest, AnUpdateRewritesEverythingButAgent) {
    using Kind = TaskFiles::DownloadChange::Kind;
    WriteFile(download_,
              "<download>\r\n<item name=\"a\" frmPge=\"p1\" flag=\"1\"/>\r\n"
              "<item name=\"b\" frmPge=\"p2\" agent=\"old\" flag=\"1\"/>\r\n</download>");
    DownloadTask first = SampleTask("p1"), second = SampleTask("p2");
    first.agent = second.agent = "new";
    first.prxPort = -5;
    ASSERT_TRUE(files_.ApplyDownloadChanges(download_, {{Kind::Update, first}, {Kind::Update, second}}));
    first.agent = "";
    EXPECT_EQ(Fields(files_.GetTask(download_, "frmPge", "p1")), Fields(first));
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p2", "agent"), "old");
}

TEST_F(TaskFilesTest, UnloadableFilesAreNeverWritten) {
    const std::string broken = "<download>\r\n<item frmPge=\"p\">\r\n</download>";
    for (bool exists : {false, true}) {
        if (exists) {
            WriteFile(download_, broken);
        }
        EXPECT_TRUE(files_.ItemExists(download_, "frmPge", "p"));
        EXPECT_FALSE(files_.ApplyDownloadChanges(download_, {{TaskFiles::DownloadChange::Kind::Add, SampleTask("q")}}));
        EXPECT_FALSE(files_.SetItemField(download_, "frmPge", "p", "flag", "2"));
        EXPECT_FALSE(files_.AddItem(download_, SampleTask("q"), false));
        EXPECT_TRUE(files_.ListTasks(download_).empty());
        EXPECT_EQ(ReadFile(download_), exists ? broken : "");
    }
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
    std::vector<DownloadTask> tasks = files_.ListTasks(download_);
    ASSERT_EQ(tasks.size(), 3u);
    EXPECT_EQ(RowText(tasks[0]), std::to_string(kImageIdle) + "||half|2.00KB|50.00%|||p1|zip|l1");
    EXPECT_EQ(RowText(tasks[1]), std::to_string(kImageFailed) + "||failed|0.00B|1.50KB|||p2|exe|l2");
    EXPECT_EQ(RowText(tasks[2]), std::to_string(kImageIdle) + "||bare|0.00B|0.00B|||p3||");
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

    // Damaged meanwhile: set aside, and what the program holds is saved afresh, before a lookup too.
    std::vector<SetAsideFile> aside;
    files_.OnSetAside([&](const SetAsideFile& file) { aside.push_back(file); });
    WriteFile(download_, "<download><item frmPge=");
    EXPECT_FALSE(files_.ItemExists(download_, "frmPge", "r"));
    ASSERT_TRUE(files_.AddItem(download_, SampleTask("r"), false));
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0].itemsCarriedOver, 1);
    EXPECT_EQ(ReadFile(aside[0].setAsideAs), "<download><item frmPge=");
    EXPECT_EQ(files_.ListTasks(download_).size(), 2u);
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "q", "flag"), "2");
    RepairTaskFiles(files_, temp_.Directory());  // as at start: completed.xml is held from now on
    WriteFile(completed_, "garbage");
    EXPECT_FALSE(files_.ItemExists(completed_, "frmPge", "new"));
    EXPECT_EQ(aside.size(), 2u);

    // Removed meanwhile: written again with what the program holds.
    std::filesystem::remove(download_);
    EXPECT_FALSE(files_.ItemExists(download_, "frmPge", "new"));
    EXPECT_TRUE(files_.SetItemField(download_, "frmPge", "q", "flag", "3"));
    EXPECT_EQ(files_.ListTasks(download_).size(), 2u);
    EXPECT_EQ(aside.size(), 3u);
}

TEST_F(TaskFilesTest, EnsureTaskFilesCreatesOnlyMissingFilesAndChangesGoInOneSave) {
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

    // Several changes in one save, in order; an item that is not there is passed over.
    using Kind = TaskFiles::DownloadChange::Kind;
    DownloadTask changed = SampleTask("p");
    changed.flag = "3";
    ASSERT_TRUE(files_.ApplyDownloadChanges(download_, {{Kind::Add, SampleTask("p")},
                                                        {Kind::Add, SampleTask("gone")},
                                                        {Kind::Update, changed},
                                                        {Kind::Delete, SampleTask("gone")},
                                                        {Kind::Update, SampleTask("missing")},
                                                        {Kind::Delete, SampleTask("missing")}}));
    ASSERT_EQ(files_.ListTasks(download_).size(), 1u);
    EXPECT_EQ(files_.GetItemField(download_, "frmPge", "p", "flag"), "3");
    EXPECT_EQ(files_.ListCompleted(completed_).front().frmPge, "kept");
    EXPECT_FALSE(files_.EnsureTaskFiles(temp_.Directory() + "missing-folder/"));
}

TEST(TaskFilesCrash, KilledSaveNeverLeavesPartialFile) {
    test::TempDir temp;
    const std::string file = temp.File("download.xml");
    std::string text = "<download>\r\n";
    for (int i = 0; i < 3000; ++i) {
        text += "<item name=\"task " + std::to_string(i) + "\" frmPge=\"page-" + std::to_string(i) +
                "\" fileLink=\"http://files.example/some/long/path/" + std::to_string(i) +
                ".zip\" path=\"/games\" size=\"100000\" downloadedSize=\"0\" type=\"zip\" flag=\"1\"/>\r\n";
    }
    WriteFile(file, text + "</download>\r\n");
    // The helper flips the last item between two states; these are the two whole files.
    const std::string stateA = ReadFile(file);
    {
        TaskFiles files;
        ASSERT_TRUE(files.SetItemField(file, "frmPge", "page-2999", "flag", "2"));
    }
    const std::string stateB = ReadFile(file);
    ASSERT_NE(stateA, stateB);

    std::string helper = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "store_save_loop").string();
    ASSERT_TRUE(std::filesystem::exists(helper)) << helper;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, 15000);
    int partial = 0;
    for (int round = 0; round < 20; ++round) {
        const std::string before = StampOf(file);
        std::string path = file;
        char page[] = "page-2999";
        char* argv[] = {helper.data(), path.data(), page, nullptr};
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, helper.c_str(), nullptr, nullptr, argv, environ), 0);
        // Kill it only once it is saving: after its first save has replaced the file.
        bool saving = false;
        for (int wait = 0; wait < 2000 && !saving; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            saving = StampOf(file) != before;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(saving) << "the helper never saved in round " << round;
        std::string now = ReadFile(file);
        partial += now != stateA && now != stateB;
    }
    EXPECT_EQ(partial, 0);

    // Start-up clears what the killed saves left behind.
    TaskFiles files;
    ASSERT_TRUE(files.EnsureTaskFiles(temp.Directory()));
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
        leftovers += entry.path().filename().string().find(".tmp-") != std::string::npos;
    }
    EXPECT_EQ(leftovers, 0);
}

}  // namespace
}  // namespace tarvane
