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

#include "tarvane/store/task_files.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

using test::ReadFile;
using test::WriteFile;

DownloadTask NumberedTask(const std::string& page, int count) {
    DownloadTask task;
    task.name = "task " + page;
    task.frmPge = page;
    task.fileLink = "http://files.example/" + page;
    task.path = "/games";
    task.size = "100000";
    task.downloadedSize = std::to_string(count);
    task.type = "zip";
    task.flag = "1";
    return task;
}

TEST(TaskFilesConcurrency, NoUpdateIsLostBetweenThreads) {
    test::TempDir temp;
    const std::string file = temp.File("download.xml");
    TaskFiles files;
    constexpr int kWorkers = 20;
    constexpr int kUpdates = 8;
    constexpr int kAdded = 40;
    WriteFile(file, "<download/>");
    for (int i = 0; i < kWorkers; ++i) {
        ASSERT_TRUE(files.AddItem(file, NumberedTask("worker-" + std::to_string(i), 0), false));
    }

    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.emplace_back([&files, &file, i] {
            const std::string page = "worker-" + std::to_string(i);
            for (int n = 1; n <= kUpdates; ++n) {
                files.UpdateTask(file, "frmPge", page, NumberedTask(page, n));
                files.SetItemField(file, "frmPge", page, "flag", std::to_string(n % 3 + 1));
            }
            files.SetItemField(file, "frmPge", page, "flag", "2");
        });
    }
    for (int i = 0; i < kAdded; ++i) {
        files.AddItem(file, NumberedTask("added-" + std::to_string(i), i), false);
    }
    for (auto& worker : workers) {
        worker.join();
    }

    for (int i = 0; i < kWorkers; ++i) {
        DownloadTask task = files.GetTask(file, "frmPge", "worker-" + std::to_string(i));
        EXPECT_EQ(task.downloadedSize, std::to_string(kUpdates)) << i;
        EXPECT_EQ(task.flag, "2") << i;
    }
    for (int i = 0; i < kAdded; ++i) {
        EXPECT_EQ(files.GetItemField(file, "frmPge", "added-" + std::to_string(i), "downloadedSize"),
                  std::to_string(i));
    }
}

std::string HelperPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "store_save_loop").string();
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

// A save killed at any moment leaves the whole old or the whole new file.
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

    const std::string helper = HelperPath();
    ASSERT_TRUE(std::filesystem::exists(helper)) << helper;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, 15000);
    int partial = 0;
    for (int round = 0; round < 20; ++round) {
        const std::string before = StampOf(file);
        std::vector<std::string> args = {helper, file, "page-2999"};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, helper.c_str(), nullptr, nullptr, argv.data(), environ), 0);
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
