#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <string>
#include "platform/ansi_text.h"

namespace platform {
namespace {

// "中文" in code page 936 and in UTF-8.
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(CodePage, RoundTripsBetweenGbkAndUtf8) {
    EXPECT_EQ(Utf8FromAnsi(kChineseGbk + "abc"), kChineseUtf8 + "abc");
    EXPECT_EQ(AnsiFromUtf8(kChineseUtf8 + "abc"), kChineseGbk + "abc");
    EXPECT_EQ(Utf8FromAnsi(""), "");
}

TEST(CodePage, ReportsCharactersWithoutRepresentation) {
    bool lost = false;
    // "€" and "中" have no place in Latin-1.
    std::string latin1 = ConvertCodePage(kUtf8CodePage, 28591,
                                         "a\xE2\x82\xAC"
                                         "b" +
                                             kChineseUtf8.substr(0, 3),
                                         &lost);
    EXPECT_TRUE(lost);
    EXPECT_EQ(latin1, "a?b?");
    ConvertCodePage(kUtf8CodePage, kAnsiCodePage, kChineseUtf8, &lost);
    EXPECT_FALSE(lost);
}

TEST(CodePage, InvalidInputBecomesReplacementCharacters) {
    std::u16string wide = MultiByteToWide(kUtf8CodePage,
                                          "a\xFF"
                                          "b");
    EXPECT_EQ(wide, u"a\uFFFDb");
    // A character cut at the end of the input is not silently dropped.
    EXPECT_EQ(MultiByteToWide(kUtf8CodePage, "a\xE4\xB8"), u"a\uFFFD\uFFFD");
}

TEST(CodePage, SurrogatePairsAndUnknownCodePages) {
    bool lost = false;
    std::string gbk = WideToMultiByte(kAnsiCodePage, u"x\U0001F600y", &lost);
    EXPECT_TRUE(lost);
    EXPECT_EQ(gbk, "x?y");  // one character, one default character
    bool ok = true;
    EXPECT_EQ(MultiByteToWide(4242, "abc", &ok), u"");
    EXPECT_FALSE(ok);
    EXPECT_EQ(IconvNameForCodePage(4242), "");
    EXPECT_EQ(IconvNameForCodePage(kAnsiCodePage), "CP936");
}

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
