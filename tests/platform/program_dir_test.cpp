#include "platform/program_dir.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(ProgramDirectory, IsTheFolderOfThisExecutableEndingInSlash) {
    std::string folder = ProgramDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "platform_tests"));
}

TEST(ProgramDirectory, CutsAfterTheLastSlashAndGivesGbkText) {
    // "游戏" in UTF-8 and in code page 936.
    EXPECT_EQ(ProgramDirectoryOf("/opt/\xE6\xB8\xB8\xE6\x88\x8F/bin/tarvane"), "/opt/\xD3\xCE\xCF\xB7/bin/");
    EXPECT_EQ(ProgramDirectoryOf("/tarvane (deleted)"), "/");
    EXPECT_EQ(ProgramDirectoryOf("tarvane"), "");
}

}  // namespace
}  // namespace platform
