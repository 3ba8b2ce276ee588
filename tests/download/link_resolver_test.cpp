#include "tarvane/engine/link_resolver.h"

#include <gtest/gtest.h>

#include <set>

#include "tarvane/engine/base64.h"
#include "tests/support/test_site.h"

namespace tarvane::test {
namespace {

class LinkResolverTest : public ::testing::Test {
protected:
    LinkResolver Resolver() const {
        return LinkResolver({"127.0.0.1:" + std::to_string(site_.port()), "quellora.localhost", 2, 5});
    }
    TestSite site_;
};

TEST_F(LinkResolverTest, LinksOutsideTheDomainAreFileAddressesAlready) {
    ParseResult result = Resolver().ResolveLink("http://mirror.example.localhost/file.rar");
    EXPECT_EQ(result.realLink, "http://mirror.example.localhost/file.rar");
    EXPECT_EQ(result.fileName, "");
    EXPECT_TRUE(site_.ParseRequestLinks().empty());
}

TEST_F(LinkResolverTest, PagesOfTheDomainAreResolvedThroughTheService) {
    std::string page = "http://game.quellora.localhost:8717/game/7.htm";
    site_.SetParseReply(page, "http://files.localhost/7.rar", "GBK\xD3\xCE\xCF\xB7");
    ParseResult result = Resolver().ResolveLink(page);
    EXPECT_EQ(result.realLink, "http://files.localhost/7.rar");
    EXPECT_EQ(result.fileName, "GBK\xD3\xCE\xCF\xB7");
    ASSERT_EQ(site_.ParseRequestLinks().size(), 1u);
    EXPECT_EQ(site_.ParseRequestLinks()[0], page);
}

TEST_F(LinkResolverTest, RepliesThatNameNothing) {
    LinkResolver resolver = Resolver();
    // Separator at index 6 is not enough.
    site_.SetRawParseReply("http://a.quellora.localhost/1", "x" + Base64Encode("123456|||name"));
    EXPECT_EQ(resolver.ResolveLink("http://a.quellora.localhost/1").realLink, "");
    site_.SetRawParseReply("http://a.quellora.localhost/2", "x" + Base64Encode("1234567|||"));
    ParseResult seven = resolver.ResolveLink("http://a.quellora.localhost/2");
    EXPECT_EQ(seven.realLink, "1234567");
    EXPECT_EQ(seven.fileName, "");
    // An empty reply, and no service at all.
    EXPECT_EQ(resolver.ResolveLink("http://a.quellora.localhost/unknown").realLink, "");
    LinkResolver dead({"127.0.0.1:1", "quellora.localhost", 2, 5});
    EXPECT_EQ(dead.ResolveLink("http://a.quellora.localhost/1").realLink, "");
}

TEST_F(LinkResolverTest, BlanksAroundTheReplyAndLongLinksAreHandledWhole) {
    std::string page = "http://game.quellora.localhost/" + std::string(1500, 'p');
    std::string longLink = "http://files.localhost/" + std::string(40000, 'f') + ".rar";
    site_.SetRawParseReply(page, "   x" + Base64Encode(longLink + "|||big") + "  ");
    ParseResult result = Resolver().ResolveLink(page);
    EXPECT_EQ(result.realLink, longLink);
    EXPECT_EQ(result.fileName, "big");
    EXPECT_EQ(site_.ParseRequestLinks().back(), page);
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
