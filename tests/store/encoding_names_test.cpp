#include "tarvane/store/encoding_names.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/codepage.h"

namespace tarvane {
namespace {

TEST(EncodingNames, EveryRowIsFoundThroughItsBucket) {
    for (const EncodingName& row : AllEncodingNames()) {
        bool convertible = !platform::IconvNameForCodePage(row.codePage).empty();
        unsigned expected = convertible ? row.codePage : kUnrecognisedEncoding;
        EXPECT_EQ(CodePageOfEncoding(row.name), expected) << row.name;
    }
}

TEST(EncodingNames, NamesMapToCodePages) {
    EXPECT_EQ(CodePageOfEncoding(""), platform::kAnsiCodePage);
    EXPECT_EQ(CodePageOfEncoding("GBK"), 936u);
    EXPECT_EQ(CodePageOfEncoding("Gb2312"), 936u);
    EXPECT_EQ(CodePageOfEncoding("UTF-8"), 65001u);
    EXPECT_EQ(CodePageOfEncoding("Windows-1252"), 1252u);
    EXPECT_EQ(CodePageOfEncoding("cp1256 "), 1256u);
    EXPECT_EQ(CodePageOfEncoding("iso_8859-1:1987"), 28591u);
    EXPECT_EQ(CodePageOfEncoding("utf-16be"), 1201u);
    // Only the exact letter case "UTF-32" is the code of its own; other cases use the table.
    EXPECT_EQ(CodePageOfEncoding("UTF-32BE"), kUtf32Encoding);
    EXPECT_EQ(CodePageOfEncoding("utf-32be"), 12001u);
    EXPECT_EQ(ConversionCodePage(kUtf32Encoding), platform::kUtf32LeCodePage);
    EXPECT_EQ(CodePageOfEncoding("no-such-encoding"), kUnrecognisedEncoding);
    EXPECT_EQ(CodePageOfEncoding("gbk "), kUnrecognisedEncoding);
    // x-mac-japanese is in the table, but iconv has no converter for it.
    EXPECT_EQ(CodePageOfEncoding("x-mac-japanese"), kUnrecognisedEncoding);
    EXPECT_EQ(CodePageOfEncoding(std::string(100, 'a')), kUnrecognisedEncoding);
}

TEST(EncodingNames, DifferOnlyWhenBothAreRecognised) {
    EXPECT_FALSE(EncodingsDiffer("gbk", ""));
    EXPECT_FALSE(EncodingsDiffer("GB2312", "cp936"));
    EXPECT_TRUE(EncodingsDiffer("UTF-8", ""));
    EXPECT_TRUE(EncodingsDiffer("utf-16le", "utf-16be"));
    EXPECT_FALSE(EncodingsDiffer("unicode", "UTF-16"));
    EXPECT_FALSE(EncodingsDiffer("no-such-encoding", "UTF-8"));
    EXPECT_FALSE(EncodingsDiffer("UTF-8", "x-mac-japanese"));
}

// The converter that skips ASCII must give exactly what the plain conversion gives, also for
// broken sequences next to ASCII and line feeds.
TEST(EncodingNames, AsciiSkippingConversionMatchesPlainConversion) {
    const std::string pieces[] = {
        "a",    "\n",   "<",    "\xD6\xD0", "\xE4\xB8\xAD",     "\xE4\xB8", "\x81", "\x81\x40",
        "\xFF", "\x80", "\xA1", "@",        "\xF0\x9F\x98\x80", "\xC3"};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    const unsigned pairs[][2] = {{65001, 936}, {936, 65001}, {936, 1200}, {28591, 936}};
    for (int round = 0; round < 400; ++round) {
        std::string bytes;
        for (int i = 0; i < 12; ++i) {
            bytes += pieces[pick(random)];
        }
        for (const auto& pair : pairs) {
            bool fastLoss = false;
            bool plainLoss = false;
            std::string fast = ConvertBetweenCodePages(pair[0], pair[1], bytes, &fastLoss);
            std::string plain = platform::ConvertCodePage(pair[0], pair[1], bytes, &plainLoss);
            ASSERT_EQ(fast, plain) << pair[0] << " to " << pair[1] << " of " << ::testing::PrintToString(bytes);
            ASSERT_EQ(fastLoss, plainLoss) << ::testing::PrintToString(bytes);
        }
    }
}

}  // namespace
}  // namespace tarvane
