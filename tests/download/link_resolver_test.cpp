#include "tarvane/engine/link_resolver.h"

#include <gtest/gtest.h>

#include <set>

#include "tarvane/engine/base64.h"
#include "tests/support/test_site.h"

namespace tarvane::test {
namespace {

TEST(LinkResolver, PagesOfTheDomainAreResolvedThroughTheServiceOtherLinksAreFileAddressesAlready) {
    TestSite site;
    const std::string longPage = "http://game.quellora.localhost/" + std::string(1500, 'p');
    const std::string longLink = "http://files.localhost/" + std::string(40000, 'f') + ".rar";
    const std::string gbk = "GBK\xD3\xCE\xCF\xB7";
    const struct {
        std::string link;
        std::string reply;  // raw; none when empty
        std::string realLink;
        std::string fileName;
    } cases[] = {
        {"http://mirror.example.localhost/file.rar", "", "http://mirror.example.localhost/file.rar", ""},
        {"http://game.quellora.localhost:8717/game/7.htm", "x" + Base64Encode("http://files.localhost/7.rar|||" + gbk),
         "http://files.localhost/7.rar", gbk},
        // A separator at index 6 is not enough; at 7 it is.
        {"http://a.quellora.localhost/1", "x" + Base64Encode("123456|||name"), "", ""},
        {"http://a.quellora.localhost/2", "x" + Base64Encode("1234567|||"), "1234567", ""},
        // An empty reply.
        {"http://a.quellora.localhost/unknown", "", "", ""},
        // Blanks around the reply, and long links handled whole.
        {longPage, "   x" + Base64Encode(longLink + "|||big") + "  ", longLink, "big"},
    };
    LinkResolver resolver({site.Host(), "quellora.localhost", 2, 5});
    std::vector<std::string> asked;
    for (const auto& c : cases) {
        if (!c.reply.empty()) {
            site.SetRawParseReply(c.link, c.reply);
        }
        ParseResult result = resolver.ResolveLink(c.link);
        EXPECT_EQ(result.realLink, c.realLink) << c.link.substr(0, 60);
        EXPECT_EQ(result.fileName, c.fileName) << c.link.substr(0, 60);
        if (c.link.find("quellora.localhost") != std::string::npos) {
            asked.push_back(c.link);
        }
    }
    // Only the domain's pages went to the service, as they were.
    EXPECT_EQ(site.ParseRequestLinks(), asked);
    // No service at all.
    LinkResolver dead({"127.0.0.1:1", "quellora.localhost", 2, 5});
    EXPECT_EQ(dead.ResolveLink("http://a.quellora.localhost/1").realLink, "");
}
TEST(LinkParameter, DiffersOnlyInItsFirstCharacterAndDecodesBack) {
    std::string link = "http://game.quellora.localhost/\xD3\xCE\xCF\xB7?a=1&b=2";
    std::set<char> leads;
    for (int i = 0; i < 200; ++i) {
        std::string encoded = EncodeLinkParameter(link);
        ASSERT_EQ(encoded.substr(1), Base64Encode(link));
        ASSERT_NE(std::string("0123456789ABCDEFabcdef").find(encoded[0]), std::string::npos);
        leads.insert(encoded[0]);
    }
    EXPECT_GT(leads.size(), 5u);
    EXPECT_EQ(DecodeParseReply("z" + Base64Encode(link)), link);
    // Decoding keeps what came before a character outside the alphabet, up to a zero byte.
    EXPECT_EQ(DecodeParseReply("z" + Base64Encode("abc") + "\r\n" + Base64Encode("def")), "abc");
    EXPECT_EQ(DecodeParseReply("z" + Base64Encode(std::string("ab\0cd", 5))), "ab");
    EXPECT_EQ(DecodeParseReply("z" + Base64Encode("abcdef") + "Q"), "abcdef");
    EXPECT_EQ(DecodeParseReply(""), "");
}

}  // namespace
}  // namespace tarvane::test
