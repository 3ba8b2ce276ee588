#include "tarvane/shell/command_line_link.h"

#include <gtest/gtest.h>

#include "tarvane/shell/scheme_link_text.h"

namespace tarvane {
namespace {

TEST(CommandLineLink, MarkersLengthsAndBlanks) {
    EXPECT_EQ(ExtractCommandLineLink("tarvane://>http://g.localhost/a.htm<"), "http://g.localhost/a.htm");
    // First ">" and last "<": markers inside the link stay part of it.
    EXPECT_EQ(ExtractCommandLineLink(">http://a/?x=>1<2<"), "http://a/?x=>1<2");

    // Ten characters or fewer carry nothing, even with well-placed markers.
    EXPECT_FALSE(ExtractCommandLineLink(">abcdefgh<"));
    EXPECT_EQ(ExtractCommandLineLink(">abcdefgh< "), "abcdefgh");
    // Exactly seven characters between the markers are enough, six are not.
    EXPECT_EQ(ExtractCommandLineLink("....>abcdefg<"), "abcdefg");
    EXPECT_FALSE(ExtractCommandLineLink(".....>abcdef<"));
    EXPECT_FALSE(ExtractCommandLineLink("<http://g/a.htm>"));
    EXPECT_FALSE(ExtractCommandLineLink(">http://g/a.htm"));
}

TEST(CommandLineLink, PercentEncodedMarkersFromABrowser) {
    auto link = [](std::string_view line) { return ExtractCommandLineLink(DecodeSchemeLinkMarkers(line)); };
    // The page keeps its own escapes; only the markers are decoded.
    EXPECT_EQ(link("tarvane:%3Ehttp://g.localhost/a%20b.htm?q=%3C%3C"), "http://g.localhost/a%20b.htm?q=%3C");
    // A line with markers of its own, or without both escapes, stays as it came.
    EXPECT_EQ(DecodeSchemeLinkMarkers(">http://g/a%3C.htm<"), ">http://g/a%3C.htm<");
    EXPECT_EQ(DecodeSchemeLinkMarkers("tarvane:%3Chttp://g/a.htm%3E"), "tarvane:%3Chttp://g/a.htm%3E");
}

TEST(CommandLineLink, ArgumentsJoinAndSupportedKinds) {
    const char* argv[] = {"/opt/tarvane", ">http://a", "b<", "-hide"};
    EXPECT_EQ(CommandLineText(4, argv), ">http://a b< -hide");

    EXPECT_TRUE(IsSupportedLink("http://game.quellora.localhost/a.htm"));
    EXPECT_TRUE(IsSupportedLink("HTTPS://x.localhost/"));
    EXPECT_FALSE(IsSupportedLink("javascript:alert(1)"));
}

}  // namespace
}  // namespace tarvane
