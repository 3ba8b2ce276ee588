#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <string>
#include "platform/ansi_text.h"

namespace platform {
namespace {

// "中文" in code page 936 and in UTF-8.
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(CodePage, RoundTripsAndMarksWhatCannotBeConverted) {
    EXPECT_EQ(Utf8FromAnsi(kChineseGbk + "abc"), kChineseUtf8 + "abc");
    EXPECT_EQ(AnsiFromUtf8(kChineseUtf8 + "abc"), kChineseGbk + "abc");
    bool lost = false;
    EXPECT_EQ(WideToMultiByte(kAnsiCodePage, u"x\U0001F600y", &lost), "x?y");  // one character, one '?'
    EXPECT_TRUE(lost);
    ConvertCodePage(kUtf8CodePage, kAnsiCodePage, kChineseUtf8, &lost);
    EXPECT_FALSE(lost);
    // A character cut at the end of the input is not silently dropped.
    EXPECT_EQ(MultiByteToWide(kUtf8CodePage, "a\xE4\xB8"), u"a\uFFFD\uFFFD");
}

TEST(AnsiText, TwoByteCharactersAreUnitsWhenComparedScannedOrCut) {
    const std::string lead = "\x81", gbk = "\xD6\xD0";
    EXPECT_TRUE(EqualsIgnoreCase936(gbk + "A", gbk + "a"));
    // 0x81 0x41 and 0x81 0x61 are two different characters, not "A" and "a".
    EXPECT_FALSE(EqualsIgnoreCase936(lead + "A", lead + "a"));
    const std::string text = "a\x81]b]";
    EXPECT_EQ(FindChar936(text, ']'), 4u);
    EXPECT_EQ(CutAtCharBoundary936(text, 2), "a");
    EXPECT_EQ(CutAtCharBoundary936(text, 3), "a\x81]");
    // Lead bytes before a byte that is no trail byte, 0xFF, and a user-defined pair iconv cannot map.
    EXPECT_EQ(Valid936("a\x81\"\x81\x7F\xFF\xAA\xA1\x81"), "a?\"?\x7F???");
}

}  // namespace
}  // namespace platform
