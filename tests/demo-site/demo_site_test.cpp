#include "tools/demo-site/demo_site.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <string>

#include "platform/codepage.h"
#include "tarvane/engine/file_digest.h"
#include "tarvane/engine/link_resolver.h"
#include "tools/demo-site/game_content.h"
#include "tools/demo-site/pages.h"
#include "tools/demo-site/sha256.h"

namespace tarvane::demo {
namespace {

// A GET of "http://HOST:PORT/PATH" sent as a program sends it: HOST reaches 127.0.0.1 and is the Host header.
httplib::Response Get(const std::string& url, const httplib::Headers& headers = {}) {
    std::size_t path = url.find('/', 7);
    httplib::Client client(url.substr(0, path));
    client.set_hostname_addr_map({{url.substr(7, url.find(':', 7) - 7), "127.0.0.1"}});
    client.set_url_encode(false);
    auto result = client.Get(url.substr(path), headers);
    EXPECT_TRUE(result) << url;
    return result ? result.value() : httplib::Response{};
}

TEST(DemoSite, ParseServiceNamesAGameFileThatDownloadsInRangesAndTheVersionFileNamesAnUpdate) {
    // The links carry the site's own port, not one given with a host name. Version 2 is an update.
    DemoSite site{
        DemoSiteOptions{"www.quellora.localhost:8717", "game.quellora.localhost", "mini.quellora.localhost", 2}};
    ASSERT_GT(site.Bind(0), 0);
    site.Start();
    const std::string official = site.links().official, portal = site.links().portal;

    const Game& game = *FindGame(1102);
    LinkResolver resolver({"www.quellora.localhost:" + std::to_string(site.port()), "quellora.localhost"});
    ParseResult resolved = resolver.ResolveLink(portal + GamePagePath(game));
    EXPECT_EQ(resolved.realLink, portal + GameFilePath(game));
    EXPECT_EQ(resolved.fileName, platform::AnsiFromUtf8("连连看"));
    EXPECT_TRUE(resolver.ResolveLink(portal + "/game/4711.htm").realLink.empty());

    httplib::Response file = Get(resolved.realLink);
    EXPECT_EQ(file.status, 200);
    ASSERT_EQ(file.body.size(), game.size);
    EXPECT_EQ(Sha256Hex(file.body), GameFileSha256(game));
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    ExpectedDigest digest;  // the downloader takes the digest the file is sent with, and it matches
    NoteDigestHeader(digest, "Repr-Digest", file.get_header_value("Repr-Digest"));
    DigestMatcher matcher(digest);
    matcher.Update(file.body.data(), file.body.size());
    EXPECT_TRUE(matcher.Active() && matcher.Matches());
    // A range holds the bytes of the whole file; none starts past its end.
    httplib::Response part = Get(resolved.realLink, {{"Range", "bytes=1000-1999"}});
    EXPECT_EQ(part.status, 206);
    EXPECT_TRUE(part.body == file.body.substr(1000, 1000));
    EXPECT_EQ(Get(resolved.realLink, {{"Range", "bytes=" + std::to_string(game.size) + "-"}}).status, 416);

    EXPECT_EQ(Get(official + "/softUpdate/tarvane/newVerInfo.txt").body,
              "2|||" + official + "/softUpdate/tarvane/updateZip");
    EXPECT_THAT(Get(official + "/softUpdate/tarvane/updateZip").body, testing::StartsWith("#!/bin/sh\n"));
}

TEST(DemoSite, FileServedAtARateArrivesWholeAndNoFaster) {
    DemoSite site{DemoSiteOptions{.rateKBps = 2048}};
    ASSERT_GT(site.Bind(0), 0);
    site.Start();
    const Game& game = *FindGame(1102);  // 4 MiB and 512 bytes: two seconds at 2048 KB/s
    auto start = std::chrono::steady_clock::now();
    httplib::Response file = Get(site.links().portal + GameFilePath(game));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1800));
    ASSERT_EQ(file.body.size(), game.size);
    EXPECT_EQ(Sha256Hex(file.body), GameFileSha256(game));
}

}  // namespace
}  // namespace tarvane::demo
