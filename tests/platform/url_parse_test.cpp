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

TEST(ParseUrl, SplitsTheAcceptedSchemesWithTheirDefaultPorts) {
    ExpectSplit("http://game.example.com/dl/setup.exe?id=3.5#top", UrlService::Http, "game.example.com", 80,
                "/dl/setup.exe?id=3.5#top");
    ExpectSplit("HTTPS://Files.Example.com", UrlService::Https, "Files.Example.com", 443, "/");
    ExpectSplit("Ftp://mirror:2121/pub/a.zip", UrlService::Ftp, "mirror", 2121, "/pub/a.zip");
    ExpectSplit("http://h?q=1", UrlService::Http, "h", 80, "/?q=1");
    ExpectSplit("http://h#frag", UrlService::Http, "h", 80, "/#frag");
    ExpectSplit("http://h:/x", UrlService::Http, "h", 80, "/x");  // an empty port is the default
    ExpectSplit("http://h:00080/x", UrlService::Http, "h", 80, "/x");
    ExpectSplit("http://h:65535/", UrlService::Http, "h", 65535, "/");
    ExpectSplit("  http://h/my game.rar\r\n", UrlService::Http, "h", 80, "/my game.rar");
    ExpectSplit("http://h/\xD3\xCE\xCF\xB7.rar", UrlService::Http, "h", 80, "/\xD3\xCE\xCF\xB7.rar");
}

TEST(ParseUrl, DropsUserInfoAndKeepsIpv6Brackets) {
    ExpectSplit("http://user:pa:ss@proxy.example:8080/a@b", UrlService::Http, "proxy.example", 8080, "/a@b");
    ExpectSplit("http://@h/", UrlService::Http, "h", 80, "/");
    ExpectSplit("http://[::1]:8717/x", UrlService::Http, "[::1]", 8717, "/x");
    ExpectSplit("https://[2001:db8::7]", UrlService::Https, "[2001:db8::7]", 443, "/");
}

TEST(ParseUrl, RejectsTextThatIsNoUrlOfAnAcceptedScheme) {
    const char* rejected[] = {
        "",
        "not a url",
        "game.example.com/dl/a.zip",
        "//game.example.com/a.zip",
        "http:/h/a.zip",
        "http:h",
        "mailto://x",
        "file:///etc/passwd",
        "gopher://h/",
        "see http://h/",
        "http://",
        "http:///path",
        "http://:80/",
        "http://h:0/",
        "http://h:65536/",
        "http://h:99999999999999999999/",
        "http://h:8o/",
        "http://h:80:81/",
        "http://h:-1/",
        "http://a@b@h/",
        "http://evil\\@h/",
        "http://ev il/",
        "http://h\r\nX-Injected: 1/",
        "http://h/a\nb",
        "http://h/a\x7F",
        "http://[::1/",
        "http://[::1]x/",
        "http://[example]/",
        "http://h%2e/",
    };
    for (const char* url : rejected) {
        EXPECT_FALSE(ParseUrl(url).has_value()) << url;
    }
}

}  // namespace
}  // namespace platform
