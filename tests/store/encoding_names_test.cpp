#include "tarvane/store/encoding_names.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace tarvane {
namespace {

TEST(EncodingNames, NamesMapToCodePagesThatIconvCanConvert) {
    for (const EncodingName& row : AllEncodingNames()) {
        bool convertible = !platform::IconvNameForCodePage(row.codePage).empty();
        EXPECT_EQ(CodePageOfEncoding(row.name), convertible ? row.codePage : kUnrecognisedEncoding) << row.name;
    }
    const std::pair<std::string, unsigned> cases[] = {
        {"", platform::kAnsiCodePage},
        {"GBK", 936},
        {"Gb2312", 936},
        {"UTF-8", 65001},
        {"Windows-1252", 1252},
        {"cp1256 ", 1256},
        {"iso_8859-1:1987", 28591},
        {"utf-16be", 1201},
        // Only the exact letter case "UTF-32" is the code of its own; other cases use the table.
        {"UTF-32BE", kUtf32Encoding},
        {"utf-32be", 12001},
        {"no-such-encoding", kUnrecognisedEncoding},
        {"gbk ", kUnrecognisedEncoding},
        // x-mac-japanese is in the table, but iconv has no converter for it.
        {"x-mac-japanese", kUnrecognisedEncoding},
        {std::string(100, 'a'), kUnrecognisedEncoding}};
    for (const auto& [name, codePage] : cases) {
        EXPECT_EQ(CodePageOfEncoding(name), codePage) << name;
    }
    EXPECT_EQ(ConversionCodePage(kUtf32Encoding), platform::kUtf32LeCodePage);
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

}  // namespace
}  // namespace tarvane
