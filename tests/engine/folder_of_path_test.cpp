#include "tarvane/engine/folder_of_path.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvane {
namespace {

TEST(FolderOfPath, CutsAfterTheLastSeparator) {
    EXPECT_EQ(FolderOfPath("/home/u/games/x.rar"), "/home/u/games/");
    EXPECT_EQ(FolderOfPath("C:\\games\\x.exe"), "C:\\games\\");
    EXPECT_EQ(FolderOfPath("a\\b/c\\d.zip"), "a\\b/c\\");
    EXPECT_EQ(FolderOfPath("a/b\\c/d.zip"), "a/b\\c/");
    EXPECT_EQ(FolderOfPath("/home/u/games/"), "/home/u/games/");
    EXPECT_EQ(FolderOfPath("C:\\games\\"), "C:\\games\\");
    EXPECT_EQ(FolderOfPath("x.rar"), "");
    EXPECT_EQ(FolderOfPath(""), "");
    EXPECT_EQ(FolderOfPath("/"), "/");
}

TEST(FolderOfPath, LongPathsAreKeptWhole) {
    std::string folder = "/" + std::string(300, 'd') + "/" + std::string(300, 'e') + "/";
    EXPECT_EQ(FolderOfPath(folder + "file.rar"), folder);
}

TEST(FolderOfPath, SecondByteOfADoubleByteCharacterIsNoSeparator) {
    // "\x9c\x5c" is one character of code page 936 whose second byte is the backslash.
    EXPECT_EQ(FolderOfPath("/games/\x9c\x5c.rar"), "/games/");
    EXPECT_EQ(FolderOfPath("\x9c\x5c\x81\x5c"), "");
    EXPECT_EQ(FolderOfPath("D:\\\x9c\x5c\\a.exe"), "D:\\\x9c\x5c\\");
    // A lone lead byte at the end does not hide anything before it.
    EXPECT_EQ(FolderOfPath("/g/\x9c"), "/g/");
}

}  // namespace
}  // namespace tarvane
