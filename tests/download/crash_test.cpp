#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "tarvane/engine/segment_map.h"
#include "tests/download/engine_harness.h"

extern char** environ;

namespace tarvane::test {
namespace {

// Runs the stand-in program on the test's files; answers its wait status, or kills it after
// `killAfter` when one is given.
int RunChild(const std::vector<std::string>& arguments, std::optional<std::chrono::milliseconds> killAfter) {
    std::vector<char*> argv{const_cast<char*>(DOWNLOAD_CHILD_PATH)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    if (killAfter) {
        std::this_thread::sleep_for(*killAfter);
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// The program killed at random moments of a download over several connections: after each restart
// the task goes on, and the finished file is the server's, byte for byte, with no segment map left.
TEST_F(DownloadTest, KilledAtAnyMomentTheRestartedTaskFinishesWithTheServersFile) {
    // Over several connections, and over one, whose progress goes beside the data file alike.
    struct Case {
        std::string name;
        std::string bytes;
        size_t bytesPerSecond;  // per connection
    };
    const Case cases[] = {{"crash", MakeFileBytes(24 * 1024 * 1024, 21), 3 * 1024 * 1024},
                          {"single", MakeFileBytes(3 * 1024 * 1024, 22), 1024 * 1024}};
    engine_.reset();  // the child processes own the files now
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(100, 2000);
    for (const Case& c : cases) {
        site_.Add("/files/" + c.name + ".bin", {.bytes = c.bytes, .etag = "\"c\"", .bytesPerSecond = c.bytesPerSecond});
        const std::vector<std::string> arguments{temp_.Directory(), site_.Host(),
                                                 Page("/files/" + c.name + ".bin", c.name), games_};
        for (int round = 0; round < 5; ++round) {
            ASSERT_NE(RunChild(arguments, std::chrono::milliseconds(moment(random))), -1);
        }
        int status = RunChild(arguments, {});
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);

        EngineHarness check(temp_.Directory(), site_.Host());
        EXPECT_TRUE(check.files.GetItemField(check.CompletedFile(), "frmPge", arguments[2], "path") ==
                    games_ + "/" + c.name + ".bin")
            << c.name << " left as " << ReadFile(check.DownloadFile());
        EXPECT_TRUE(Game(c.name + ".bin") == c.bytes) << c.name;
        EXPECT_FALSE(std::filesystem::exists(SegmentMapPath(games_ + "/" + c.name + ".bin"))) << c.name;
    }
}

}  // namespace
}  // namespace tarvane::test
