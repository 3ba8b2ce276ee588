#include "platform/process_start.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

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

}  // namespace
}  // namespace platform
