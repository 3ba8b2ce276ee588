#include "tarvane/shell/command_line_link.h"

#include <gtest/gtest.h>

#include "tarvane/shell/scheme_link_text.h"

namespace tarvane {
namespace {

TEST(CommandLineLink, MarkersLengthsAndEscapes) {
    const char* argv[] = {"/opt/tarvane", "tarvane://>http://a/?x=>1", "2<"};
    // Arguments joined by blanks; first ">" and last "<": markers inside the link stay part of it.
    EXPECT_EQ(ExtractCommandLineLink(CommandLineText(3, argv)), "http://a/?x=>1 2");
    // Ten characters or fewer carry nothing, even with well-placed markers.
    EXPECT_FALSE(ExtractCommandLineLink(">abcdefgh<"));
    EXPECT_EQ(ExtractCommandLineLink(">abcdefgh< "), "abcdefgh");
    EXPECT_FALSE(ExtractCommandLineLink("<http://g/a.htm>"));

    // From a browser the page keeps its own escapes; only the markers are decoded.
    auto link = [](std::string_view line) { return ExtractCommandLineLink(DecodeSchemeLinkMarkers(line)); };
    EXPECT_EQ(link("tarvane:%3Ehttp://g.localhost/a%20b.htm?q=%3C%3C"), "http://g.localhost/a%20b.htm?q=%3C");
    EXPECT_EQ(DecodeSchemeLinkMarkers(">http://g/a%3C.htm<"), ">http://g/a%3C.htm<");

    EXPECT_TRUE(IsSupportedLink("HTTPS://x.localhost/"));
    EXPECT_FALSE(IsSupportedLink("javascript:alert(1)"));
}

}  // namespace
}  // namespace tarvane
