#include "tools/demo-site/demo_site.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/codepage.h"
#include "tarvane/engine/base64.h"
#include "tarvane/engine/link_resolver.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"
#include "tools/demo-site/game_content.h"
#include "tools/demo-site/pages.h"
#include "tools/demo-site/parse_service.h"
#include "tools/demo-site/sha256.h"
#include "updater/curl_fetcher.h"
#include "updater/update_check.h"
#include "updater/version_file.h"

namespace tarvane::demo {
namespace {

struct Reply {
    long status = 0;
    std::string body;
    std::string contentType;
    curl_off_t contentLength = -1;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// Names under .localhost reach 127.0.0.1 in libcurl, so the Host header is the one a program sends.
Reply Get(const std::string& url, const std::string& range = "", bool headOnly = false) {
    Reply reply;
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 60L);
    if (!range.empty()) {
        curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
    }
    if (headOnly) {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    }
    EXPECT_EQ(curl_easy_perform(handle), CURLE_OK) << url;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply.status);
    char* type = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &type);
    reply.contentType = type != nullptr ? type : "";
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &reply.contentLength);
    curl_easy_cleanup(handle);
    return reply;
}

std::string GameBytes(const Game& game, std::uint64_t offset, std::size_t count) {
    std::string bytes(count, '\0');
    FillGameBytes(game, offset, bytes.data(), count);
    return bytes;
}

bool Contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
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

    DemoSite site_{
        DemoSiteOptions{"www.quellora.localhost:8717", "game.quellora.localhost", "mini.quellora.localhost", 1}};
};

TEST_F(DemoSiteTest, EachSiteAnswersByItsHostName) {
    std::string port = std::to_string(site_.port());
    EXPECT_EQ(site_.links().official, "http://www.quellora.localhost:" + port);

    Reply official = Get(Official("/"));
    Reply portal = Get(Portal("/"));
    Reply minigame = Get(Minigame("/"));
    for (const Reply* reply : {&official, &portal, &minigame}) {
        EXPECT_EQ(reply->status, 200);
        EXPECT_EQ(reply->contentType, "text/html; charset=utf-8");
        EXPECT_TRUE(Contains(reply->body, "<meta charset=\"utf-8\">"));
    }
    EXPECT_TRUE(Contains(official.body, "tarvane 游戏下载器"));
    EXPECT_TRUE(Contains(portal.body, "Quellora 游戏门户"));
    EXPECT_TRUE(Contains(minigame.body, "Quellora 小游戏库"));
    EXPECT_NE(official.body, portal.body);

    // The browser of the system opens the portal's home with a query.
    EXPECT_EQ(Get(Portal("/?selvik")).body, portal.body);
    // Host names compare without case.
    EXPECT_EQ(Get("http://WWW.Quellora.LocalHost:" + port + "/").body, official.body);

    Reply nav = Get(Official("/profit/tarvane/mainDlg_left_202_437_nav.htm"));
    EXPECT_EQ(nav.status, 200);
    EXPECT_TRUE(Contains(nav.body, "width: 202px"));
    EXPECT_TRUE(Contains(nav.body, Portal("/game/101.htm")));
    Reply help = Get(Official("/soft/help/downloader_help.htm"));
    EXPECT_EQ(help.status, 200);
    EXPECT_TRUE(Contains(help.body, "使用帮助"));

    // A page lives on its own site only, and unknown hosts and pages are 404.
    EXPECT_EQ(Get(Portal("/soft/help/downloader_help.htm")).status, 404);
    EXPECT_EQ(Get(Official("/dispenseUrl/01.htm")).status, 404);
    EXPECT_EQ(Get(Minigame("/game/101.htm")).status, 404);
    EXPECT_EQ(Get("http://127.0.0.1:" + port + "/").status, 404);
    EXPECT_EQ(Get("http://other.localhost:" + port + "/").status, 404);
    for (const char* path : {"/nothing.htm", "/dispenseUrl/13.htm", "/dispenseUrl/00.htm", "/dispenseUrl/1.htm",
                             "/game/999.htm", "/game/101x.htm", "/files/1102/other.zip", "/files/1102/lianliankan.zip/",
                             "/files/9999/lianliankan.zip", "/files/1102/lianliankan.zip.md5"}) {
        EXPECT_EQ(Get(Portal(path)).status, 404) << path;
    }
}

TEST_F(DemoSiteTest, PortalListsTwelveCategoriesWithGamePagesForTarvane) {
    Reply home = Get(Portal("/"));
    std::set<int> listed;
    for (const Category& category : Categories()) {
        std::string path = CategoryPath(category.number);
        EXPECT_TRUE(Contains(home.body, Portal(path))) << path;
        Reply page = Get(Portal(path));
        ASSERT_EQ(page.status, 200) << path;
        EXPECT_TRUE(Contains(page.body, "<h1>" + std::string(category.name) + "</h1>"));
        for (const Game& game : Games()) {
            if (game.category == category.number) {
                EXPECT_TRUE(Contains(page.body, Portal(GamePagePath(game)))) << game.id;
                listed.insert(game.id);
            }
        }
    }
    EXPECT_EQ(Categories().size(), 12u);
    EXPECT_EQ(CategoryPath(1), "/dispenseUrl/01.htm");
    EXPECT_EQ(CategoryPath(12), "/dispenseUrl/12.htm");

    std::set<std::string> slugs;
    for (const Game& game : Games()) {
        slugs.insert(std::string(game.slug));
        EXPECT_GE(game.size, 2u << 20);
        EXPECT_LE(game.size, 500u << 20);
        Reply page = Get(Portal(GamePagePath(game)));
        ASSERT_EQ(page.status, 200);
        EXPECT_TRUE(Contains(page.body, std::string(game.name)));
        EXPECT_TRUE(Contains(page.body, "href=\"tarvane:%3E" + Portal(GamePagePath(game)) + "%3C\""));
        EXPECT_TRUE(Contains(page.body, "href=\"" + GameFilePath(game) + "\""));
    }
    EXPECT_GE(Games().size(), 30u);
    EXPECT_EQ(listed.size(), Games().size());
    EXPECT_EQ(slugs.size(), Games().size());
}

TEST_F(DemoSiteTest, ParseReplyNamesAFileThatDownloadsWithItsHash) {
    const Game& game = *FindGame(1102);
    std::string port = std::to_string(site_.port());
    LinkResolver resolver({"www.quellora.localhost:" + port, "quellora.localhost"});
    ParseResult resolved = resolver.ResolveLink(Portal(GamePagePath(game)));
    EXPECT_EQ(resolved.realLink, Portal(GameFilePath(game)));
    EXPECT_EQ(resolved.fileName, platform::AnsiFromUtf8("连连看"));

    Reply file = Get(resolved.realLink);
    ASSERT_EQ(file.status, 200);
    EXPECT_EQ(file.body.size(), game.size);
    EXPECT_EQ(file.contentType, "application/zip");
    std::string hash = Sha256Hex(file.body);
    EXPECT_EQ(hash, GameFileSha256(game));
    EXPECT_EQ(Get(resolved.realLink + ".sha256").body, hash + "  lianliankan.zip\n");

    // Pages that are no game pages name nothing.
    EXPECT_TRUE(resolver.ResolveLink(Portal("/dispenseUrl/11.htm")).realLink.empty());
    EXPECT_TRUE(resolver.ResolveLink(Portal("/game/4711.htm")).realLink.empty());
}

TEST_F(DemoSiteTest, ParseServiceReadsTheLinkUnescaped) {
    // Find a page link whose Base64 form holds '+' and '/', which must not be read as a blank or a path.
    std::string link;
    for (int k = 0; k < 64 && link.empty(); ++k) {
        std::string candidate = Portal("/game/301.htm?from=" + std::string(static_cast<std::size_t>(k % 8), '>') +
                                       std::string(static_cast<std::size_t>(k / 8), '?'));
        std::string encoded = Base64Encode(candidate);
        if (Contains(encoded, "+") && Contains(encoded, "/")) {
            link = candidate;
        }
    }
    ASSERT_FALSE(link.empty());
    Reply reply = Get(Official("/softAssist/parse/parse_fileInfo.php?link=7" + Base64Encode(link)));
    ASSERT_EQ(reply.status, 200);
    ParseResult parsed = SplitParseReply(DecodeParseReply(reply.body));
    EXPECT_EQ(parsed.realLink, Portal("/files/301/tiequan-fengbao.zip"));
    EXPECT_EQ(platform::Utf8FromAnsi(parsed.fileName), "铁拳风暴");

    EXPECT_EQ(GameIdOfPageLink("http://game.quellora.localhost/game/301.htm#top"), 301);
    EXPECT_EQ(GameIdOfPageLink("game.quellora.localhost/game/301.htm"), 0);
    EXPECT_EQ(GameIdOfPageLink("http://game.quellora.localhost/game/.htm"), 0);
    EXPECT_EQ(Get(Official("/softAssist/parse/parse_fileInfo.php?link=")).body, "0");
}

TEST_F(DemoSiteTest, GameFilesServeRanges) {
    const Game& game = *FindGame(1104);
    std::string url = Portal(GameFilePath(game));

    Reply head = Get(url, "", true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.contentLength, static_cast<curl_off_t>(game.size));

    Reply middle = Get(url, "1000-1999");
    EXPECT_EQ(middle.status, 206);
    EXPECT_EQ(middle.body, GameBytes(game, 1000, 1000));

    std::uint64_t from = game.size - 70000;
    Reply tail = Get(url, std::to_string(from) + "-");
    EXPECT_EQ(tail.status, 206);
    EXPECT_EQ(tail.body, GameBytes(game, from, 70000));

    Reply beyond = Get(url, std::to_string(game.size) + "-");
    EXPECT_EQ(beyond.status, 416);
}

TEST(DemoSiteUpdate, TheUpdaterFindsAndFetchesThePublishedInstaller) {
    DemoSite site(DemoSiteOptions{"www.quellora.localhost", "game.quellora.localhost", "mini.quellora.localhost", 2});
    ASSERT_GT(site.Bind(0), 0);
    site.Start();
    tarvane::test::TempDir programDirectory;

    tarvane::test::RecordingStarter starter;
    updater::CurlFetcher fetcher;
    updater::UpdaterSetup setup{programDirectory.Directory(),
                                updater::VersionFileAddress("www.quellora.localhost:" + std::to_string(site.port()))};

    EXPECT_EQ(updater::RunUpdateCheck(setup, fetcher, starter), updater::UpdateOutcome::InstallerStarted);
    ASSERT_EQ(starter.Programs().size(), 1u);
    EXPECT_EQ(tarvane::test::ReadFile(starter.Programs()[0]).rfind("#!/bin/sh\n", 0), 0u);

    tarvane::test::WriteFile(programDirectory.File("config.ini"), "[main]\nVer=2\n");
    EXPECT_EQ(updater::RunUpdateCheck(setup, fetcher, starter), updater::UpdateOutcome::UpToDate);
}

TEST_F(DemoSiteTest, SearchFindsGamesByEscapedOrCodePageText) {
    // "钢铁" escaped as UTF-8, as a browser sends it, and as code page 936.
    for (const char* keywords : {"%E9%92%A2%E9%93%81", "%B8%D6%CC%FA"}) {
        Reply found = Get(Minigame("/search_fromSoft/?keywords=") + keywords);
        ASSERT_EQ(found.status, 200);
        EXPECT_TRUE(Contains(found.body, "钢铁防线")) << keywords;
        EXPECT_TRUE(Contains(found.body, "钢铁洪流")) << keywords;
        EXPECT_FALSE(Contains(found.body, "连连看")) << keywords;
        EXPECT_TRUE(Contains(found.body, "找到 2 个"));
    }
    Reply none = Get(Minigame("/search_fromSoft/?keywords=zzz%3Cb%3E"));
    EXPECT_TRUE(Contains(none.body, "没有找到"));
    EXPECT_TRUE(Contains(none.body, "zzz&lt;b&gt;"));
    EXPECT_FALSE(Contains(none.body, "zzz<b>"));

    EXPECT_EQ(SearchGames("").size(), Games().size());
    EXPECT_EQ(SearchGames("XIANGQI").size(), 1u);
    EXPECT_EQ(SearchGames("休闲益智").size(), 4u);
}

TEST(Sha256, KnownDigestsWholeAndInPieces) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Hex(twoBlocks), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    std::string million(1000000, 'a');
    EXPECT_EQ(Sha256Hex(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

    Sha256 pieces;
    for (std::size_t at = 0, step = 1; at < million.size(); at += step, step = step * 3 % 257 + 1) {
        pieces.Update(std::string_view(million).substr(at, step));
    }
    EXPECT_EQ(pieces.HexDigest(), Sha256Hex(million));
}

TEST(GameContent, BytesDependOnGameAndOffsetOnly) {
    const Game& first = Games()[0];
    const Game& second = Games()[1];
    std::string whole = GameBytes(first, 0, 20000);
    for (std::uint64_t offset : {1u, 7u, 8u, 4095u, 9999u}) {
        EXPECT_EQ(GameBytes(first, offset, 333), whole.substr(offset, 333)) << offset;
    }
    EXPECT_NE(GameBytes(second, 0, 20000), whole);
    EXPECT_EQ(GameBytes(first, 0, 20000), whole);
}

}  // namespace
}  // namespace tarvane::demo
