#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "tarvane/engine/segment_map.h"
#include "tests/download/engine_harness.h"

extern char** environ;

namespace tarvane::test {
namespace {

// Runs the stand-in program on the test's files (behind `prefix`, a tracer); answers its wait status,
// or kills it after `killAfter` when one is given.
int RunChild(const std::vector<std::string>& arguments, std::optional<std::chrono::milliseconds> killAfter,
             std::vector<std::string> prefix = {}) {
    prefix.push_back(DOWNLOAD_CHILD_PATH);
    prefix.insert(prefix.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : prefix) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
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
        // Nor a temporary of a save that a kill cut off.
        for (const auto& entry : std::filesystem::directory_iterator(games_)) {
            EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        }
    }
}

// Every count a running task records claims bytes that are on the disk: traced system calls show that
// the data file is synced between its last write and each save of its segment map.
TEST_F(DownloadTest, ACountIsSavedOnlyAfterItsBytesAreSynced) {
    const std::string trace = temp_.Directory() + "/trace";
    if (RunChild({}, {}, {"strace", "-f", "-o", trace, "true"}) != 0) {
        GTEST_SKIP() << "strace cannot trace here";
    }
    site_.Add("/files/synced.bin", {.bytes = MakeFileBytes(3 << 20, 23), .bytesPerSecond = 1 << 20});
    engine_.reset();
    int status = RunChild({temp_.Directory(), site_.Host(), Page("/files/synced.bin", "synced"), games_}, {},
                          {"strace", "-f", "-y", "-o", trace, "-e", "trace=pwrite64,fdatasync,rename",
                           // The leak checker cannot work under a tracer.
                           "-E", "ASAN_OPTIONS=detect_leaks=0"});
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(Game("synced.bin") == MakeFileBytes(3 << 20, 23));

    const std::string data = "<" + games_ + "/synced.bin>";
    std::istringstream lines(ReadFile(trace));
    bool unsynced = false;
    int saves = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("pwrite64(") != std::string::npos && line.find(data) != std::string::npos) {
            unsynced = true;
        } else if (line.find("fdatasync(") != std::string::npos && line.find(data) != std::string::npos) {
            unsynced = false;
        } else if (line.find("rename(") != std::string::npos &&
                   line.find("synced.bin.segments\"") != std::string::npos) {
            ++saves;
            EXPECT_FALSE(unsynced) << line;
        }
    }
    EXPECT_GE(saves, 3);
}

// Killed at random moments of the download, the check and the unpack of a game archive: the next
// start ends with the archive as the server has it and one whole game folder beside it, with no
// half-made or second folder.
TEST_F(DownloadTest, KilledWhileUnpackingTheRestartEndsWithOneWholeFolderAndTheArchive) {
    std::vector<ArchiveEntry> entries{{"big.pak", MakeFileBytes(12 * 1024 * 1024, 7)}};
    for (int i = 0; i < 2000; ++i) {
        entries.push_back({"data/" + std::to_string(i) + ".dat", MakeFileBytes(2000, i)});
    }
    const std::string zip = MakeArchive("zip", entries);
    site_.Add("/files/game.zip", {.bytes = zip, .etag = "\"z\""});
    engine_.reset();
    const std::vector<std::string> arguments{temp_.Directory(), site_.Host(), Page("/files/game.zip", "game"), games_};
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(50, 1500);
    for (int round = 0; round < 6; ++round) {
        ASSERT_NE(RunChild(arguments, std::chrono::milliseconds(moment(random))), -1);
    }
    const int status = RunChild(arguments, {});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EngineHarness check(temp_.Directory(), site_.Host());
    ASSERT_EQ(check.FinishedTasks().size(), 1u) << ReadFile(check.DownloadFile());
    EXPECT_EQ(check.FinishedTasks()[0].gameFolder, games_ + "/game");
    EXPECT_TRUE(Game("game.zip") == zip);
    // No staging folder or map temporary is left, and no second game folder made.
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(games_)) {
        names.insert(item.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"game", "game.zip"}));
    EXPECT_TRUE(Game("game/big.pak") == entries[0].bytes && Game("game/data/1999.dat") == entries.back().bytes);
    // The files and the folder "data".
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(games_ + "/game"), {}), 2002);
}

}  // namespace
}  // namespace tarvane::test
