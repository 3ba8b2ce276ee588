// Archives made here, friendly and hostile, unpacked beside themselves in a temporary folder.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tarvane/engine/game_unpack.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"

namespace tarvane {
namespace {

using test::ArchiveEntry;
namespace fs = std::filesystem;

std::string Text(UnpackOutcome outcome, std::string missingPart = {}) {
    UnpackResult result;
    result.outcome = outcome;
    result.missingPart = std::move(missingPart);
    return UnpackFailureText(result);
}

class UnpackTest : public test::TempDirTest {
protected:
    std::string Put(const std::string& name, const std::string& bytes) {
        fs::create_directories(temp_.File("dl"));
        test::WriteFile(temp_.File("dl/" + name), bytes);
        return temp_.File("dl/" + name);
    }
    UnpackResult Unpack(const std::string& path, const std::string& password = {}, UnpackLimits limits = {}) {
        UnpackRequest request{.archivePath = platform::AnsiFromUtf8(path),
                              .gameName = "game",
                              .password = password,
                              .ownsFolder = [&](const std::string&) { return owns_; },
                              .progress = [&](std::int64_t read, std::int64_t total) { progress_(read, total); },
                              .partReady = [&](const std::string& part) { return !part.ends_with(downloading_); },
                              .limits = limits};
        return UnpackGame(request, stop_);
    }
    // Every path under the temporary folder, relative to it, "/" after folders.
    std::set<std::string> Tree() const {
        std::set<std::string> paths;
        for (const auto& item : fs::recursive_directory_iterator(temp_.path())) {
            EXPECT_FALSE(item.is_symlink()) << item.path();
            paths.insert(fs::relative(item.path(), temp_.path()).string() + (item.is_directory() ? "/" : ""));
        }
        return paths;
    }
    std::string Game(const std::string& file) const { return test::ReadFile(temp_.File("dl/game/" + file)); }

    bool owns_ = false;
    std::string downloading_ = "?";  // the part of a set still being downloaded
    std::atomic<bool> stop_ = false;
    std::function<void(std::int64_t, std::int64_t)> progress_ = [](std::int64_t, std::int64_t) {};
};

TEST_F(UnpackTest, EveryFormatBecomesTheGameFolderBesideTheArchive) {
    std::string level = test::MakeFileBytes(300000, 3);
    std::vector<ArchiveEntry> entries = {{"bin/", {}, ArchiveEntry::Folder},
                                         {"bin/start.sh", "#!/bin/sh\n", ArchiveEntry::File, {}, true},
                                         {"data/level1.pak", level},
                                         {"./readme.txt", "hi"}};
    for (std::string format : {"zip", "7z", "tar"}) {
        SCOPED_TRACE(format);
        std::string bytes = test::MakeArchive(format, entries), archive = Put("game." + format, bytes);
        std::int64_t done = 0, total = 0;
        progress_ = [&](std::int64_t read, std::int64_t size) { done = read, total = size; };
        UnpackResult result = Unpack(archive);
        ASSERT_EQ(result.outcome, UnpackOutcome::Done);
        EXPECT_EQ(result.folder, temp_.File("dl/game"));
        EXPECT_TRUE(Game("data/level1.pak") == level && Game("readme.txt") == "hi");
        EXPECT_TRUE(done == total && total == static_cast<std::int64_t>(bytes.size()));
        struct stat script {
        }, readme{};
        ASSERT_EQ(::stat(temp_.File("dl/game/bin/start.sh").c_str(), &script), 0);
        ASSERT_EQ(::stat(temp_.File("dl/game/readme.txt").c_str(), &readme), 0);
        EXPECT_TRUE((script.st_mode & 0111) != 0 && (readme.st_mode & 0111) == 0);

        // A folder of the name that is not this task's own is left alone; its own is replaced.
        EXPECT_EQ(Unpack(archive).folder, temp_.File("dl/game (2)"));
        owns_ = true;
        fs::remove(temp_.File("dl/game/readme.txt"));
        EXPECT_EQ(Unpack(archive).folder, temp_.File("dl/game"));
        EXPECT_EQ(Game("readme.txt"), "hi");
        owns_ = false;
        EXPECT_EQ(test::ReadFile(archive), bytes);
        EXPECT_EQ(Tree().size(), 1 + 1 + 2 * 6);  // dl/, the archive, two game folders: no staging left
        fs::remove_all(temp_.File("dl"));
    }
    EXPECT_EQ(Unpack(Put("notes.txt", "hi")).outcome, UnpackOutcome::NotArchive);
    EXPECT_EQ(Unpack(Put("page.zip", "<html></html>")).outcome, UnpackOutcome::NotArchive);
    for (const char* name : {"a.zip", "a.part2.rar", "A.7Z.003", "a.z01", "a.r00", "a.tar.gz", "a.tgz"}) {
        EXPECT_TRUE(IsUnpackableArchive(name)) << name;
    }
    EXPECT_FALSE(IsUnpackableArchive("a.exe") || IsUnpackableArchive("a.gz") || IsUnpackableArchive("zip"));
}

TEST_F(UnpackTest, HostileArchivesAreRefusedOrContainedAndNothingLandsOutside) {
    std::string outside = temp_.File("outside");
    fs::create_directories(outside);
    std::vector<ArchiveEntry> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back({"e" + std::to_string(i)});
    }
    std::string deep;  // deeper than any game
    for (int i = 0; i < 200; ++i) {
        deep += "d/";
    }
    std::string zeros(8 << 20, '\0');  // a few KB packed
    auto zip = [](std::vector<ArchiveEntry> entries) { return test::MakeArchive("zip", entries); };
    auto tar = [](std::vector<ArchiveEntry> entries) { return test::MakeArchive("tar", entries); };
    const std::tuple<std::string, std::string, UnpackOutcome> rows[] = {
        {"slip.zip", zip({{"ok.txt", "a"}, {"../outside/evil.txt", "x"}}), UnpackOutcome::UnsafePath},
        {"deep.zip", zip({{"a/b/../../../outside/evil.txt", "x"}}), UnpackOutcome::UnsafePath},
        {"abs.zip", zip({{outside + "/evil.txt", "x"}}), UnpackOutcome::UnsafePath},
        {"depth.zip", zip({{deep + "x", "x"}}), UnpackOutcome::UnsafePath},
        {"back.tar", tar({{"..\\outside\\evil.txt", "x"}}), UnpackOutcome::UnsafePath},
        {"link.tar", tar({{"link", {}, ArchiveEntry::Symlink, outside}, {"link/evil.txt", "x"}}), UnpackOutcome::Done},
        {"link.zip", zip({{"up", {}, ArchiveEntry::Symlink, ".."}, {"up/evil.txt", "x"}}), UnpackOutcome::Done},
        {"hard.tar",
         tar({{"ok.txt", "a"},
              {"passwd", {}, ArchiveEntry::Hardlink, "/etc/passwd"},
              {"out", {}, ArchiveEntry::Hardlink, "../outside/x"},
              {"copy.txt", {}, ArchiveEntry::Hardlink, "ok.txt"}}),
         UnpackOutcome::Done},
        {"cut.7z", test::MakeArchive("7z", {{"a.bin", test::MakeFileBytes(9000)}}).substr(0, 5000),
         UnpackOutcome::Damaged},
        {"bomb.zip", zip({{"zeros.bin", zeros}}), UnpackOutcome::Bomb},                     // refused from its headers
        {"bomb.7z", test::MakeArchive("7z", {{"zeros.bin", zeros}}), UnpackOutcome::Bomb},  // while reading
        {"many.zip", zip(many), UnpackOutcome::Bomb},
        {"many.tar", tar(many), UnpackOutcome::Bomb}};
    UnpackLimits limits{.mostEntries = 20, .mostRatio = 100, .ratioFloor = 1 << 20};
    for (const auto& [name, bytes, outcome] : rows) {
        SCOPED_TRACE(name);
        ASSERT_LT(bytes.size(), 20000u);
        std::string archive = Put(name, bytes);
        int reads = 0;
        progress_ = [&](std::int64_t, std::int64_t) { ++reads; };
        UnpackResult result = Unpack(archive, {}, limits);
        EXPECT_EQ(result.outcome, outcome);
        // A zip's headers alone refuse it, before anything is unpacked.
        EXPECT_TRUE(outcome != UnpackOutcome::Bomb || !name.ends_with(".zip") || reads == 0) << reads;
        EXPECT_EQ(test::ReadFile(archive), bytes);
        std::set<std::string> expected = {"dl/", "dl/" + name, "outside/"};
        if (outcome == UnpackOutcome::Done) {
            expected.insert("dl/game/");
            for (std::string path : Tree()) {
                EXPECT_TRUE(path.starts_with("dl/game/") || expected.count(path) != 0) << path;
            }
            EXPECT_FALSE(fs::exists(temp_.File("dl/game/passwd")) || fs::exists(temp_.File("dl/game/out")));
            EXPECT_TRUE(name != "hard.tar" || Game("copy.txt") == "a");
        } else {
            EXPECT_EQ(Tree(), expected);
        }
        fs::remove_all(temp_.File("dl"));
    }
    EXPECT_EQ(Text(UnpackOutcome::UnsafePath), platform::AnsiFromUtf8("压缩包中有不安全的路径"));
    EXPECT_EQ(Text(UnpackOutcome::Bomb), platform::AnsiFromUtf8("压缩包疑似恶意（解压后过大）"));
    std::string archive = Put("game.zip", zip({{"ok.txt", "a"}}));
    UnpackResult full = Unpack(archive, {}, {.freeMargin = INT64_MAX / 2});
    EXPECT_EQ(UnpackFailureText(full), platform::AnsiFromUtf8("解压所需空间不足"));
    EXPECT_EQ(Tree(), (std::set<std::string>{"dl/", "dl/game.zip", "outside/"}));
}

TEST_F(UnpackTest, ZipNamesWithoutTheUtf8MarkAreReadAsCodePage936AndNoneIsDropped) {
    std::string name = platform::AnsiFromUtf8("游戏/说明.txt");
    ASSERT_NE(name, "游戏/说明.txt");
    ASSERT_EQ(Unpack(Put("names.zip", test::MakeArchive("zip", {{name, "a"}, {"bad\xff\x81.txt", "b"}}))).outcome,
              UnpackOutcome::Done);
    EXPECT_EQ(Game("游戏/说明.txt"), "a");
    EXPECT_EQ(Game("bad\ufffd\ufffd.txt"), "b");  // each byte that is no character replaced
    EXPECT_EQ(Tree().size(), 6u);
}

TEST_F(UnpackTest, ASetInPartsWaitsForEveryPartWhicheverIsHandedFirst) {
    std::string data = test::MakeFileBytes(90000, 5), seven = test::MakeArchive("7z", {{"data.bin", data}});
    std::size_t third = seven.size() / 3 + 1;  // the last part is the smaller
    auto part = [&](int number) {
        return Put("game.7z.00" + std::to_string(number), seven.substr((number - 1) * third, third));
    };
    UnpackResult missing = Unpack(part(2));
    EXPECT_EQ(missing.outcome, UnpackOutcome::PartMissing);
    EXPECT_EQ(Text(missing.outcome, missing.missingPart), platform::AnsiFromUtf8("缺少分卷：game.7z.001"));
    // Two parts of one size: the set's end is not known until the reading runs out.
    EXPECT_EQ(Unpack(part(1)).missingPart, "game.7z.003");
    std::string last = part(3);
    fs::remove(temp_.File("dl/game.7z.002"));
    EXPECT_EQ(Unpack(last).missingPart, "game.7z.002");
    downloading_ = "game.7z.002";  // there, but not whole yet
    EXPECT_EQ(Unpack(part(2)).missingPart, "game.7z.002");
    downloading_ = "?";
    ASSERT_EQ(Unpack(temp_.File("dl/game.7z.002")).outcome, UnpackOutcome::Done);
    EXPECT_EQ(Game("data.bin"), data);

    // A spanned zip: its first part starts with a mark, its last one's end record counts the parts.
    std::string zip = test::MakeArchive("zip", {{"data.bin", data}});
    zip[zip.size() - 18] = zip[zip.size() - 16] = 2;
    std::size_t piece = zip.size() / 3;
    Put("span.z01", "PK\x07\x08" + zip.substr(0, piece));
    EXPECT_EQ(Unpack(Put("span.zip", zip.substr(2 * piece))).missingPart, "span.z02");
    UnpackResult result = Unpack(Put("span.z02", zip.substr(piece, piece)));
    ASSERT_EQ(result.outcome, UnpackOutcome::Done);
    EXPECT_EQ(test::ReadFile(result.folder + "/data.bin"), data);
}

TEST_F(UnpackTest, AnEncryptedZipAsksForThePasswordAndTellsAWrongOne) {
    std::string data = test::MakeFileBytes(50000, 6);
    std::string archive = Put("game.zip", test::MakeArchive("zip", {{"data.bin", data}}, "secret"));
    UnpackResult result = Unpack(archive);
    EXPECT_EQ(Text(result.outcome), platform::AnsiFromUtf8("需要密码"));
    result = Unpack(archive, "wrong");
    EXPECT_EQ(Text(result.outcome), platform::AnsiFromUtf8("密码错误"));
    EXPECT_EQ(Tree(), (std::set<std::string>{"dl/", "dl/game.zip"}));
    ASSERT_EQ(Unpack(archive, "secret").outcome, UnpackOutcome::Done);
    EXPECT_EQ(Game("data.bin"), data);
}

TEST_F(UnpackTest, AStopOrAKillAtAnyMomentLeavesNoHalfGameAndTheNextStartOneWholeFolder) {
    std::vector<ArchiveEntry> entries;
    for (int i = 0; i < 40; ++i) {
        entries.push_back({"data/" + std::to_string(i) + ".bin", test::MakeFileBytes(100000, i)});
    }
    std::string bytes = test::MakeArchive("zip", entries), archive = Put("game.zip", bytes);
    for (int stopAt = 1; stopAt < 12; ++stopAt) {
        int calls = 0;
        progress_ = [&](std::int64_t, std::int64_t) { stop_ = stop_ || ++calls == stopAt; };
        EXPECT_EQ(Unpack(archive).outcome, UnpackOutcome::Stopped) << stopAt;
        EXPECT_EQ(Tree(), (std::set<std::string>{"dl/", "dl/game.zip"}));
        stop_ = false;
    }
    progress_ = [](std::int64_t, std::int64_t) {};
    std::set<std::string> whole = {"dl/", "dl/game.zip", "dl/game/", "dl/game/data/"};
    for (int i = 0; i < 40; ++i) {
        whole.insert("dl/game/data/" + std::to_string(i) + ".bin");
    }
    owns_ = true;  // a folder a killed run put in place is this task's own
    for (int delay : {0, 1, 3, 10, 30, 100}) {
        pid_t child = ::fork();
        if (child == 0) {
            Unpack(archive);
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        RemoveStaleStaging(archive);
        ASSERT_EQ(Unpack(archive).outcome, UnpackOutcome::Done) << delay;
        EXPECT_EQ(Tree(), whole) << delay;
        EXPECT_EQ(Game("data/39.bin"), entries[39].bytes);
    }
    fs::create_directories(temp_.File("dl/.game.zip.unpacking/data"));
    EXPECT_TRUE(RemoveStaleStaging(archive));
    EXPECT_FALSE(RemoveStaleStaging(archive));
    EXPECT_EQ(test::ReadFile(archive), bytes);
}

}  // namespace
}  // namespace tarvane
