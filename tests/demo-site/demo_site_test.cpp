#include "tools/demo-site/demo_site.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <set>
#include <string>

#include "platform/codepage.h"
#include "tarvane/engine/base64.h"
#include "tarvane/engine/link_resolver.h"
#include "tools/demo-site/game_content.h"
#include "tools/demo-site/pages.h"
#include "tools/demo-site/parse_service.h"
#include "tools/demo-site/sha256.h"

namespace tarvane::demo {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// A GET (or HEAD) of "http://HOST:PORT/PATH" sent as a program sends it: HOST reaches 127.0.0.1 and
// is the Host header, and the path goes out as it is, unescaped.
httplib::Response Get(const std::string& url, const httplib::Headers& headers = {}, bool head = false) {
    std::size_t path = url.find('/', 7);
    httplib::Client client(url.substr(0, path));
    client.set_hostname_addr_map({{url.substr(7, url.find(':', 7) - 7), "127.0.0.1"}});
    client.set_url_encode(false);
    auto result = head ? client.Head(url.substr(path), headers) : client.Get(url.substr(path), headers);
    EXPECT_TRUE(result) << url;
    return result ? result.value() : httplib::Response{};
}

class DemoSiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(site_.Bind(0), 0);
        site_.Start();
    }
    std::string Official(const std::string& path) const { return site_.links().official + path; }
    std::string Portal(const std::string& path) const { return site_.links().portal + path; }
    std::string Minigame(const std::string& path) const { return site_.links().minigame + path; }

    // The links carry the site's own port, not one given with a host name. Version 2 is an update.
    DemoSite site_{
        DemoSiteOptions{"www.quellora.localhost:8717", "game.quellora.localhost", "mini.quellora.localhost", 2}};
};

TEST_F(DemoSiteTest, EachSiteAnswersByItsHostName) {
    std::string port = std::to_string(site_.port());
    EXPECT_EQ(site_.links().official, "http://www.quellora.localhost:" + port);
    const std::pair<std::string, std::string> pages[] = {
        {Official("/"), "<title>tarvane 游戏下载器 - Quellora</title>"},
        // Host names compare without case.
        {"http://WWW.Quellora.LocalHost:" + port + "/", "<title>tarvane 游戏下载器 - Quellora</title>"},
        {Portal("/"), "<title>Quellora 游戏门户</title>"},
        // The browser of the system opens the portal's home with a query.
        {Portal("/?selvik"), "<title>Quellora 游戏门户</title>"},
        {Minigame("/"), "<title>Quellora 小游戏库</title>"},
        {Official("/profit/tarvane/mainDlg_left_202_437_nav.htm"), "width: 202px"},
        {Official("/profit/tarvane/mainDlg_left_202_437_nav.htm"), Portal("/game/101.htm")},
        {Official("/soft/help/downloader_help.htm"), "使用帮助"},
    };
    for (const auto& [url, fragment] : pages) {
        httplib::Response reply = Get(url);
        EXPECT_EQ(reply.status, 200) << url;
        EXPECT_EQ(reply.get_header_value("Content-Type"), "text/html; charset=utf-8") << url;
        EXPECT_THAT(reply.body, AllOf(HasSubstr("<meta charset=\"utf-8\">"), HasSubstr(fragment))) << url;
    }

    // The version file names the published version and a stand-in installer.
    EXPECT_EQ(Get(Official("/softUpdate/tarvane/newVerInfo.txt")).body,
              "2|||" + Official("/softUpdate/tarvane/updateZip"));
    EXPECT_THAT(Get(Official("/softUpdate/tarvane/updateZip")).body, StartsWith("#!/bin/sh\n"));

    // A page lives on its own site only, and unknown hosts and pages are 404.
    for (const std::string& url :
         {Portal("/soft/help/downloader_help.htm"), Official("/dispenseUrl/01.htm"), Minigame("/game/101.htm"),
          "http://127.0.0.1:" + port + "/", "http://other.localhost:" + port + "/", Portal("/nothing.htm"),
          Portal("/dispenseUrl/13.htm"), Portal("/dispenseUrl/00.htm"), Portal("/dispenseUrl/1.htm"),
          Portal("/game/999.htm"), Portal("/game/101x.htm"), Portal("/files/1102/other.zip"),
          Portal("/files/1102/lianliankan.zip/"), Portal("/files/9999/lianliankan.zip"),
          Portal("/files/1102/lianliankan.zip.md5")}) {
        EXPECT_EQ(Get(url).status, 404) << url;
    }
}

// Every game is on its category's page, which the home lists, and its own page hands it to tarvane.
TEST_F(DemoSiteTest, PortalListsTwelveCategoriesWithGamePagesForTarvane) {
    EXPECT_EQ(Categories().size(), 12u);
    EXPECT_EQ(CategoryPath(1), "/dispenseUrl/01.htm");
    EXPECT_EQ(CategoryPath(12), "/dispenseUrl/12.htm");
    EXPECT_GE(Games().size(), 30u);
    std::string home = Get(Portal("/")).body;
    std::set<std::string_view> slugs;
    std::set<int> categories;
    for (const Game& game : Games()) {
        slugs.insert(game.slug);
        categories.insert(game.category);
        const Category* category = FindCategory(game.category);
        ASSERT_NE(category, nullptr) << game.id;
        EXPECT_THAT(home, HasSubstr(Portal(CategoryPath(game.category))));
        EXPECT_THAT(
            Get(Portal(CategoryPath(game.category))).body,
            AllOf(HasSubstr("<h1>" + std::string(category->name) + "</h1>"), HasSubstr(Portal(GamePagePath(game)))));
        EXPECT_TRUE(game.size >= 2u << 20 && game.size <= 500u << 20) << game.id;
        EXPECT_THAT(Get(Portal(GamePagePath(game))).body,
                    AllOf(HasSubstr(std::string(game.name)), HasSubstr("href=\"" + GameFilePath(game) + "\""),
                          HasSubstr("href=\"tarvane:%3E" + Portal(GamePagePath(game)) + "%3C\"")));
    }
    EXPECT_EQ(slugs.size(), Games().size());
    EXPECT_EQ(categories.size(), Categories().size());
}

TEST_F(DemoSiteTest, ParseServiceNamesTheFileOfAGamePageWhichDownloadsWholeOrInRanges) {
    const Game& game = *FindGame(1102);
    LinkResolver resolver({"www.quellora.localhost:" + std::to_string(site_.port()), "quellora.localhost"});
    ParseResult resolved = resolver.ResolveLink(Portal(GamePagePath(game)));
    EXPECT_EQ(resolved.realLink, Portal(GameFilePath(game)));
    EXPECT_EQ(resolved.fileName, platform::AnsiFromUtf8("连连看"));
    httplib::Response file = Get(resolved.realLink);
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.get_header_value("Content-Type"), "application/zip");
    ASSERT_EQ(file.body.size(), game.size);
    std::string hash = Sha256Hex(file.body);
    EXPECT_EQ(hash, GameFileSha256(game));
    EXPECT_EQ(Get(resolved.realLink + ".sha256").body, hash + "  lianliankan.zip\n");
    httplib::Response head = Get(resolved.realLink, {}, true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.get_header_value("Content-Length"), std::to_string(game.size));
    // A range holds the bytes of the whole file, also from the middle of a word; none starts past its end.
    std::uint64_t tail = game.size - 70001;
    const std::pair<std::string, std::string> ranges[] = {{"1000-1999", file.body.substr(1000, 1000)},
                                                          {std::to_string(tail) + "-", file.body.substr(tail)}};
    for (const auto& [range, bytes] : ranges) {
        httplib::Response part = Get(resolved.realLink, {{"Range", "bytes=" + range}});
        EXPECT_EQ(part.status, 206) << range;
        EXPECT_TRUE(part.body == bytes) << range;
    }
    EXPECT_EQ(Get(resolved.realLink, {{"Range", "bytes=" + std::to_string(game.size) + "-"}}).status, 416);
    // Another game's file holds other bytes.
    EXPECT_NE(Get(Portal(GameFilePath(*FindGame(1104))), {{"Range", "bytes=0-999"}}).body, file.body.substr(0, 1000));

    // Pages that are no game pages name nothing.
    EXPECT_TRUE(resolver.ResolveLink(Portal("/dispenseUrl/11.htm")).realLink.empty());
    EXPECT_TRUE(resolver.ResolveLink(Portal("/game/4711.htm")).realLink.empty());
    EXPECT_EQ(Get(Official("/softAssist/parse/parse_fileInfo.php?link=")).body, "0");
    EXPECT_EQ(GameIdOfPageLink("http://game.quellora.localhost/game/301.htm#top"), 301);
    EXPECT_EQ(GameIdOfPageLink("game.quellora.localhost/game/301.htm"), 0);
    EXPECT_EQ(GameIdOfPageLink("http://game.quellora.localhost/game/.htm"), 0);
    // A link whose Base64 form holds '+' and '/', which must not be read as a blank or a path.
    std::string query = "7" + Base64Encode("http://game.quellora.localhost/game/301.htm?from=>>>>?");
    ASSERT_THAT(query, AllOf(HasSubstr("+"), HasSubstr("/")));
    ParseResult parsed =
        SplitParseReply(DecodeParseReply(Get(Official("/softAssist/parse/parse_fileInfo.php?link=" + query)).body));
    EXPECT_EQ(parsed.realLink, Portal("/files/301/tiequan-fengbao.zip"));
    EXPECT_EQ(platform::Utf8FromAnsi(parsed.fileName), "铁拳风暴");
}

TEST_F(DemoSiteTest, SearchFindsGamesByEscapedOrCodePageText) {
    // "钢铁" escaped as UTF-8, as a browser sends it, and as code page 936.
    for (const char* keywords : {"%E9%92%A2%E9%93%81", "%B8%D6%CC%FA"}) {
        EXPECT_THAT(
            Get(Minigame("/search_fromSoft/?keywords=") + keywords).body,
            AllOf(HasSubstr("钢铁防线"), HasSubstr("钢铁洪流"), HasSubstr("找到 2 个"), Not(HasSubstr("连连看"))))
            << keywords;
    }
    EXPECT_THAT(Get(Minigame("/search_fromSoft/?keywords=zzz%3Cb%3E")).body,
                AllOf(HasSubstr("没有找到"), HasSubstr("zzz&lt;b&gt;"), Not(HasSubstr("zzz<b>"))));

    EXPECT_EQ(SearchGames("").size(), Games().size());
    EXPECT_EQ(SearchGames("XIANGQI").size(), 1u);
    EXPECT_EQ(SearchGames("休闲益智").size(), 4u);
}

TEST(Sha256, KnownDigestsWholeAndInPieces) {
    std::string million(1000000, 'a');
    const std::pair<std::string, std::string> digests[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
    for (const auto& [text, digest] : digests) {
        EXPECT_EQ(Sha256Hex(text), digest) << text.size();
    }
    Sha256 pieces;
    for (std::size_t at = 0, step = 1; at < million.size(); at += step, step = step * 3 % 257 + 1) {
        pieces.Update(std::string_view(million).substr(at, step));
    }
    EXPECT_EQ(pieces.HexDigest(), digests[3].second);
}

}  // namespace
}  // namespace tarvane::demo
