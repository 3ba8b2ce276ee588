#include "platform/desktop_folder.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using tarvane::test::TempDirTest;
using tarvane::test::WriteFile;

class DesktopFolderTest : public TempDirTest {
protected:
    std::string Config() const { return temp_.Directory() + "config"; }
    void WriteUserDirs(const std::string& text) const {
        std::filesystem::create_directories(Config());
        WriteFile(Config() + "/user-dirs.dirs", text);
    }
};

TEST_F(DesktopFolderTest, ReadsTheXdgSettingAsGbkTextOrFallsBackToDesktopInHome) {
    EXPECT_EQ(DesktopFolderFor("/home/u", Config()), "/home/u/Desktop");
    // Assignments that name no usable folder are passed over.
    WriteUserDirs("XDG_DESKTOP_DIR=\"Desktop\"\n# XDG_DESKTOP_DIR=\"/x\"\n");
    EXPECT_EQ(DesktopFolderFor("/home/u", Config()), "/home/u/Desktop");
    // "桌面" in UTF-8 on disk, in code page 936 in memory.
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/\xE6\xA1\x8C\xE9\x9D\xA2/\"\n");
    EXPECT_EQ(DesktopFolderFor("/home/u", Config()), "/home/u/\xD7\xC0\xC3\xE6");
    WriteUserDirs("XDG_DESKTOP_DIR=\"/data/my \\\"desk\\\"\"\n");
    EXPECT_EQ(DesktopFolderFor("/home/u", Config()), "/data/my \"desk\"");
}

TEST_F(DesktopFolderTest, AMissingDesktopIsMadeOrTheDownloadFolderStandsIn) {
    std::string home = temp_.Directory() + "home";
    EXPECT_EQ(EnsureDefaultFolderFor(home, Config()).state, FolderState::Created);
    EXPECT_TRUE(std::filesystem::is_directory(home + "/Desktop"));
    // Nothing can be made below a plain file.
    WriteFile(home + "/file", "");
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/file/desk\"\n");
    DefaultFolder folder = EnsureDefaultFolderFor(home, Config());
    EXPECT_EQ(folder.state, FolderState::FellBack);
    EXPECT_EQ(folder.path, home + "/Downloads");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path));
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/file/desk\"\nXDG_DOWNLOAD_DIR=\"$HOME/file/dl\"\n");
    folder = EnsureDefaultFolderFor(home, Config());
    EXPECT_EQ(folder.state, FolderState::Unavailable);
    EXPECT_EQ(folder.path, home + "/file/desk");
}

}  // namespace
}  // namespace platform
