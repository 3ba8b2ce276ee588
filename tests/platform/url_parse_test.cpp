#include "platform/url_parse.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

void ExpectSplit(std::string_view url, UrlService service, const std::string& server, unsigned short port,
                 const std::string& object) {
    SCOPED_TRACE(std::string(url));
    std::optional<ParsedUrl> parsed = ParseUrl(url);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->service, service);
    EXPECT_EQ(parsed->server, server);
    EXPECT_EQ(parsed->port, port);
    EXPECT_EQ(parsed->object, object);
}

TEST(ParseUrl, SplitsTheAcceptedSchemesDropsUserInfoAndKeepsIpv6Brackets) {
    ExpectSplit("http://game.example.com/dl/setup.exe?id=3.5#top", UrlService::Http, "game.example.com", 80,
                "/dl/setup.exe?id=3.5#top");
    ExpectSplit("HTTPS://Files.Example.com", UrlService::Https, "Files.Example.com", 443, "/");
    ExpectSplit("Ftp://mirror:2121/pub/a.zip", UrlService::Ftp, "mirror", 2121, "/pub/a.zip");
    ExpectSplit("http://h?q=1", UrlService::Http, "h", 80, "/?q=1");
    ExpectSplit("  http://h/my game.rar\r\n", UrlService::Http, "h", 80, "/my game.rar");
    ExpectSplit("http://user:pa:ss@proxy.example:8080/a@b", UrlService::Http, "proxy.example", 8080, "/a@b");
    ExpectSplit("http://[::1]:8717/x", UrlService::Http, "[::1]", 8717, "/x");
}

TEST(ParseUrl, RejectsTextThatIsNoUrlOfAnAcceptedScheme) {
    const char* rejected[] = {
        "game.example.com/dl/a.zip",
        "http:/h/a.zip",
        "file:///etc/passwd",
        "http:///path",
        "http://h:0/",
        "http://h:65536/",
        "http://h:8o/",
        "http://h:-1/",
        "http://h:80:81/",
        "http://h:99999999999999999999/",
        "see http://h/",
        "http://a@b@h/",
        "http://evil\\@h/",
        "http://ev il/",
        "http://h/a\nb",
        "http://h/a\x7F",
        "http://h\r\nX-Injected: 1/",
        "http://[::1/",
    };
    for (const char* url : rejected) {
        EXPECT_FALSE(ParseUrl(url).has_value()) << url;
    }
}

}  // namespace
}  // namespace platform
