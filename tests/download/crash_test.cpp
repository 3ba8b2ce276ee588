#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <random>
#include <thread>

#include "tests/download/engine_harness.h"

extern char** environ;

namespace tarvane::test {
namespace {

pid_t StartChild(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    return pid;
}

int WaitChild(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// The program killed at random moments of a download: after each restart the task goes on, and the
// finished file is the server's, byte for byte.
TEST_F(DownloadTest, KilledAtAnyMomentTheRestartedTaskFinishesWithTheServersFile) {
    std::string bytes = MakeFileBytes(6 * 1024 * 1024, 21);
    site_.AddSlowFile("/files/crash.bin", bytes, 2 * 1024 * 1024);
    std::string page = Page("/files/crash.bin", "crash"), host = site_.Host();
    engine_.reset();  // the child processes own the files now

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(100, 1500);
    for (int round = 0; round < 4; ++round) {
        pid_t child = round == 0 ? StartChild({DOWNLOAD_CHILD_PATH, temp_.Directory(), host, "add", page, games_})
                                 : StartChild({DOWNLOAD_CHILD_PATH, temp_.Directory(), host, "start"});
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        kill(child, SIGKILL);
        WaitChild(child);
    }
    pid_t last = StartChild({DOWNLOAD_CHILD_PATH, temp_.Directory(), host, "start"});
    int status = WaitChild(last);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EngineHarness check(temp_.Directory(), host);
    EXPECT_FALSE(check.files.GetItemField(check.CompletedFile(), "frmPge", page, "path").empty());
    EXPECT_TRUE(Game("crash.bin") == bytes);
}

}  // namespace
}  // namespace tarvane::test
