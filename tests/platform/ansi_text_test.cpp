#include "platform/ansi_text.h"
#include "platform/codepage.h"

#include <string>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(AnsiText, TwoByteCharactersCompareAsUnitsAndAreNotFolded) {
    const std::string lead = "\x81", gbk = "\xD6\xD0";
    EXPECT_TRUE(EqualsIgnoreCase936("Application/ZIP", "application/zip"));
    EXPECT_TRUE(EqualsIgnoreCase936(gbk + "A", gbk + "a"));
    // 0x81 0x41 and 0x81 0x61 are two different characters, not "A" and "a".
    EXPECT_FALSE(EqualsIgnoreCase936(lead + "A", lead + "a"));
    EXPECT_FALSE(EqualsIgnoreCase936("ab", "abc"));
    // A lead byte without a valid trail byte stands alone, so the following letter still folds.
    EXPECT_TRUE(EqualsIgnoreCase936(lead + "\x7F" + "A", lead + "\x7F" + "a"));
}

TEST(AnsiText, ScansAndCutsStepOverTrailBytes) {
    const std::string text = "a\x81]b]";
    EXPECT_EQ(FindChar936(text, ']'), 4u);
    EXPECT_EQ(FindChar936("\x81", ']'), std::string::npos);
    EXPECT_EQ(CutAtCharBoundary936(text, 2), "a");
    EXPECT_EQ(CutAtCharBoundary936(text, 3), "a\x81]");
    EXPECT_EQ(CutAtCharBoundary936("ab\x81", 3), "ab\x81");  // a lone lead byte at the end is whole
    EXPECT_EQ(CutAtCharBoundary936(text, 0), "");
}

TEST(AnsiText, BytesThatAreNoCharacterBecomeQuestionMarks) {
    // Lead bytes before a byte that is no trail byte, 0xFF, and a user-defined pair iconv cannot map.
    EXPECT_EQ(Valid936("a\x81\"\x81\x7F\xFF\xAA\xA1\x81"), "a?\"?\x7F???");
    EXPECT_EQ(Valid936("\xD6\xD0\x81\x40\x80]"), "\xD6\xD0\x81\x40\x80]");
    EXPECT_EQ(Utf8FromAnsi("b\x81/c"), "b?/c");
}

}  // namespace
}  // namespace platform
