#include "platform/codepage.h"

#include <gtest/gtest.h>

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
    std::string latin1 = ConvertCodePage(kUtf8CodePage, 28591, "a\xE2\x82\xAC" "b" + kChineseUtf8.substr(0, 3), &lost);
    EXPECT_TRUE(lost);
    EXPECT_EQ(latin1, "a?b?");
    ConvertCodePage(kUtf8CodePage, kAnsiCodePage, kChineseUtf8, &lost);
    EXPECT_FALSE(lost);
}

TEST(CodePage, InvalidInputBecomesReplacementCharacters) {
    std::u16string wide = MultiByteToWide(kUtf8CodePage, "a\xFF" "b");
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

}  // namespace
}  // namespace platform
