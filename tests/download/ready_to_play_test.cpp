// Finished game archives as the program leaves them: unpacked beside themselves, or why not, kept
// across restarts; a password given later from the finished list; the two options.
#include <atomic>
#include <filesystem>

#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

CompletedItem Entry(EngineAssembly& engine, const std::string& page) {
    for (const CompletedItem& item : engine.FinishedTasks()) {
        if (item.frmPge == page) {
            return item;
        }
    }
    return {};
}

TEST_F(DownloadTest, FinishedArchivesBecomeGameFoldersAndWhatFailedSurvivesARestart) {
    const std::string level = MakeFileBytes(5000, 3);
    site_.AddFile("/g/open.zip", MakeArchive("zip", std::vector<ArchiveEntry>{{"start.exe", "MZ"}}));
    site_.AddFile("/g/locked.zip", MakeArchive("zip", std::vector<ArchiveEntry>{{"level.pak", level}}, "secret"));
    auto Restart = [this] {
        engine_.reset();  // its files written first
        engine_ = std::make_unique<EngineHarness>(temp_.Directory(), site_.Host());
    };
    const std::string open = Add("/g/open.zip", "open"), locked = Add("/g/locked.zip", "locked");
    ASSERT_TRUE(engine_->WaitIdle());
    const std::string needPassword = platform::AnsiFromUtf8("需要密码");
    EXPECT_EQ(engine_->ports.ends.count("locked.zip in " + games_ + ", " + needPassword), 1u);
    for (int start = 0; start < 2; ++start) {
        // A folder, or why there is none.
        EXPECT_EQ(Entry(*engine_, open).gameFolder + Entry(*engine_, open).unpackFailure, games_ + "/open");
        EXPECT_EQ(Entry(*engine_, locked).gameFolder + Entry(*engine_, locked).unpackFailure, needPassword);
        Restart();
    }
    EXPECT_EQ(Game("open/start.exe"), "MZ");

    // A wrong password is said and not kept; the right one unpacks, and only then the archive goes.
    WriteConfig("[options]\ndeleteArchiveAfterExtract=1\n");
    std::atomic<bool> stop = false;
    EXPECT_EQ(engine_->UnpackFinished(locked, "wrong", stop).outcome, UnpackOutcome::WrongPassword);
    EXPECT_EQ(Entry(*engine_, locked).unpackFailure, platform::AnsiFromUtf8("密码错误"));
    EXPECT_TRUE(std::filesystem::exists(games_ + "/locked.zip"));
    EXPECT_EQ(engine_->UnpackFinished(locked, "", stop).outcome, UnpackOutcome::NeedPassword);
    EXPECT_EQ(engine_->UnpackFinished(locked, "secret", stop).outcome, UnpackOutcome::Done);
    EXPECT_TRUE(Game("locked/level.pak") == level);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/locked.zip"));
    Restart();
    EXPECT_EQ(Entry(*engine_, locked).gameFolder + Entry(*engine_, locked).unpackFailure, games_ + "/locked");

    // Parts of a set finishing together: the last of them unpacks the set, every part's entry names
    // its folder, and every part goes.
    const std::string seven = MakeArchive("7z", std::vector<ArchiveEntry>{{"data.bin", level}});
    std::vector<std::string> pages;
    for (std::size_t n = 1, size = seven.size() / 3 + 1; n <= 3; ++n) {
        site_.AddFile("/s/game.7z.00" + std::to_string(n), seven.substr((n - 1) * size, size));
        pages.push_back(Page("/s/game.7z.00" + std::to_string(n), "game.7z", "part" + std::to_string(n)));
        engine_->AddPage(pages.back(), games_);
    }
    ASSERT_TRUE(engine_->WaitIdle());
    for (const std::string& page : pages) {
        EXPECT_EQ(Entry(*engine_, page).gameFolder + Entry(*engine_, page).unpackFailure, games_ + "/game");
    }
    EXPECT_TRUE(Game("game/data.bin") == level && !std::filesystem::exists(games_ + "/game.7z.002"));

    // Switched off, a finished archive is left as it is.
    WriteConfig("[options]\nautoExtract=0\n");
    site_.AddFile("/g/later.zip", MakeArchive("zip", std::vector<ArchiveEntry>{{"start.exe", "MZ"}}));
    const std::string later = Add("/g/later.zip", "later");
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(Entry(*engine_, later).path, games_ + "/later.zip");
    EXPECT_FALSE(std::filesystem::exists(games_ + "/later"));
}

}  // namespace
}  // namespace tarvane::test
