#include "platform/process_start.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/program_dir.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

TEST(ProcessStart, ArgumentsArriveWholeAndNoShellIsInvolved) {
    tarvane::test::TempDir dir;
    std::string marker = dir.File("out file.txt");
    // Blanks, quotes and shell characters must reach the program as they are.
    std::string tricky = "a b \"c\" $(touch " + dir.File("injected") + "); `x`";
    ASSERT_TRUE(StartDetached("sh", {"-c", "printf '%s' \"$1\" > \"$2\"", "sh", tricky, marker}));
    for (int i = 0; i < 500 && tarvane::test::ReadFile(marker).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(tarvane::test::ReadFile(marker), tricky);
    EXPECT_FALSE(std::filesystem::exists(dir.File("injected")));
    EXPECT_FALSE(StartDetached(dir.File("no-such-program"), {}));
}

TEST(ProgramDirectory, IsTheFolderOfThisExecutableAsGbkText) {
    EXPECT_TRUE(std::filesystem::is_regular_file(ProgramDirectory() + "platform_tests"));
    // "游戏" in UTF-8 and in code page 936.
    EXPECT_EQ(ProgramDirectoryOf("/opt/\xE6\xB8\xB8\xE6\x88\x8F/bin/tarvane"), "/opt/\xD3\xCE\xCF\xB7/bin/");
    EXPECT_EQ(ProgramDirectoryOf("/tarvane (deleted)"), "/");
}

}  // namespace
}  // namespace platform
