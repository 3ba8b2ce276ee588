#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "tarvane/engine/answer_check.h"
#include "tarvane/engine/segment_map.h"
#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

using Answer = TestSite::Answer;

// Stored tasks, each started behind a server whose answers are not the file they claim to be: the
// bytes on disk and what download.xml says of them stay until a true answer comes, and the finished
// file is never a mix.
TEST_F(DownloadTest, AnswersThatAreNotTheFileNeverReplaceTheBytesOnDisk) {
    std::string bytes = MakeFileBytes(200000, 30), page = "\xEF\xBB\xBF \n<!DOCTYPE html><p>login</p>";
    std::string zeroed = bytes.substr(0, 80000);
    zeroed.replace(77824, 2176, 2176, '\0');  // the last page's write-back, kept from the disk by a power cut
    // Zeros where the disk holds the file's bytes: not a page a power cut kept from the disk.
    Answer zeros{.bytes = std::string(1000, '\0') + bytes.substr(20000), .status = 206};
    zeros.headers["Content-Range"] = "bytes 19000-199999/200000";
    // A 206 naming the range asked for, with the file's first bytes as its body.
    Answer lying{.bytes = bytes.substr(0, 181000), .status = 206};
    lying.headers["Content-Range"] = "bytes 19000-199999/200000";
    std::vector<Answer> changing;  // another size at every request
    for (size_t i = 0; i < 16; ++i) {
        changing.push_back({MakeFileBytes(100000 + i % 2 * 200000 + i * 1000, 31)});
    }
    const std::string control = "\"a\x01z\"";
    struct Case {
        std::string name;
        std::vector<Answer> answers;  // to the probe, the transfers and on
        std::string partial;          // on disk and counted
        std::string type = "bin";
    } cases[] = {
        {"portal", {{.bytes = page, .contentType = "text/html; charset=utf-8"}}, bytes.substr(0, 150000)},
        {"lying", {{bytes}, lying, lying, {bytes}}, bytes.substr(0, 20000)},
        {"zeroed", {{bytes}}, zeroed},
        {"zeros", {{bytes}, zeros, {bytes}}, bytes.substr(0, 20000)},
        {"changing", changing, ""},
        {"control", {{bytes, control}, {bytes, control, 200, 150000}, {"busy", "", 503}}, ""},
        // A web page is the file when the task is one.
        {"page", {{.bytes = page, .contentType = "text/html"}}, "", "htm"},
    };
    std::vector<std::string> pages;
    for (const Case& c : cases) {
        site_.AddScriptedFile("/h/" + c.name, c.answers);
        size_t size = c.partial.empty() ? c.answers.front().bytes.size() : bytes.size();
        pages.push_back(Store(c.name, "/h/" + c.name, size, std::to_string(c.partial.size()), c.partial, c.type));
        SetStored(pages.back(), "etag", "\"t\"");
    }
    for (int row = 0; row < 7; ++row) {
        engine_->commands.StartTask(engine_->Task(row));
    }
    ASSERT_TRUE(engine_->WaitIdle(60s));

    EXPECT_EQ(Stored(pages[0], "error"), platform::AnsiFromUtf8("服务器返回了网页，不是文件"));
    EXPECT_TRUE(Game("portal.bin") == bytes.substr(0, 150000));
    EXPECT_EQ(Stored(pages[0], "size"), "200000");
    EXPECT_EQ(Stored(pages[0], "downloadedSize"), "150000");
    EXPECT_EQ(Stored(pages[0], "etag"), "\"t\"");
    // Other bytes twice at one place: the file starts over, whole.
    EXPECT_TRUE(IsCompleted(pages[1]));
    EXPECT_TRUE(Game("lying.bin") == bytes);
    EXPECT_EQ(site_.RangeHeaders("/h/lying"), (std::vector<std::string>{"", "bytes=19000-", "bytes=19000-", ""}));
    EXPECT_TRUE(Game("zeroed.bin") == bytes);
    EXPECT_TRUE(Game("zeros.bin") == bytes);
    EXPECT_EQ(site_.RangeHeaders("/h/zeros"), (std::vector<std::string>{"", "bytes=19000-", "bytes=19000-"}));
    EXPECT_EQ(Stored(pages[4], "error"), platform::AnsiFromUtf8("文件在服务器上不断变化"));
    EXPECT_LE(site_.RequestCount("/h/changing"), 13);
    // A validator that could not be sent back is not kept.
    EXPECT_EQ(Stored(pages[5], "downloadedSize"), "150000");
    EXPECT_EQ(Stored(pages[5], "etag"), "");
    EXPECT_TRUE(Game("page.htm") == page);

    EXPECT_EQ(StartsWithMarkup("\xEF\xBB", false), MarkupCheck::NeedMore);
    EXPECT_EQ(StartsWithMarkup("\t<HTML", false), MarkupCheck::Markup);
    EXPECT_EQ(StartsWithMarkup("<ht", true), MarkupCheck::NotMarkup);
    EXPECT_TRUE(IsWebPageType(" Application/XHTML+xml ;q=1"));
}

// A start over (another size, a 200 to a resume) writes the new file beside the old one and puts it
// in its place only once it is whole and checked: an answer labelled a web page, a damaged archive, a
// delete or a disk without room for both never cost the bytes the task holds.
TEST_F(DownloadTest, AStartOverKeepsTheOldFileUntilTheNewOneIsWholeAndChecked) {
    auto beside = [this](const std::string& file) { return games_ + "/." + file + ".new"; };
    const std::string game = MakeFileBytes(10 << 20, 50), partial = MakeFileBytes(100000, 52),
                      fresh = MakeFileBytes(400000, 53);
    site_.Add("/s/swapped", {.bytes = "MZ" + MakeFileBytes(5118, 51), .contentType = "text/html"});
    std::string zip = MakeArchive("zip", {{"game.bin", MakeFileBytes(200000, 54)}});
    zip[zip.size() / 2] ^= 1;
    site_.AddFile("/s/damaged", zip);
    site_.AddSlowFile("/s/replaced", fresh, 200000);
    site_.AddSlowFile("/s/deleted", fresh, 100000);
    std::vector<std::string> pages{Store("swapped", "/s/swapped", game.size(), "8388608", game.substr(0, 8 << 20)),
                                   Store("damaged", "/s/damaged", 300000, "100000", partial, "zip"),
                                   Store("replaced", "/s/replaced", 300000, "100000", partial),
                                   Store("deleted", "/s/deleted", 300000, "100000", partial)};
    for (int row = 0; row < 4; ++row) {
        engine_->commands.StartTask(engine_->Task(row));
    }
    // Bytes the server sent may not have reached the disk yet: wait for the files, not the count.
    ASSERT_TRUE(WaitFor([&] {
        return site_.BytesSent("/s/replaced") > 100000 && std::filesystem::exists(beside("replaced.bin")) &&
               std::filesystem::exists(beside("deleted.bin"));
    }));
    EXPECT_TRUE(Game("replaced.bin") == partial);
    EXPECT_EQ(Stored(pages[2], "size") + "/" + Stored(pages[2], "downloadedSize"), "300000/100000");
    EXPECT_EQ(engine_->commands.DeleteTask(engine_->commands.FindTask(pages[3])), DeleteOutcome::Deleted);
    ASSERT_TRUE(WaitCompleted({pages[2]}) && engine_->WaitIdle());

    EXPECT_EQ(Stored(pages[0], "error"), platform::AnsiFromUtf8("服务器返回了网页，不是文件"));
    EXPECT_TRUE(Game("swapped.bin") == game.substr(0, 8 << 20));
    EXPECT_EQ(Stored(pages[0], "size") + "/" + Stored(pages[0], "downloadedSize"), "10485760/8388608");
    EXPECT_EQ(Stored(pages[1], "error"), platform::AnsiFromUtf8("文件已损坏（校验未通过）"));
    EXPECT_TRUE(Game("damaged.zip") == partial);
    EXPECT_EQ(Stored(pages[1], "size") + "/" + Stored(pages[1], "downloadedSize"), "300000/100000");
    EXPECT_TRUE(Game("replaced.bin") == fresh);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/deleted.bin"));
    for (const auto& entry : std::filesystem::directory_iterator(games_)) {
        EXPECT_FALSE(entry.path().string().ends_with(".new")) << entry.path();
    }

    // No room for the new file (of no announced size) beside the old one: the task fails, and the
    // old one has not lost a byte.
    std::string full = Store("full", "/s/full", 2 << 20, std::to_string(2 << 20), game.substr(0, 2 << 20));
    site_.Add("/s/full", {.bytes = MakeFileBytes(3 << 20, 55), .chunked = true});
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1 << 20;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    engine_->commands.StartTask(engine_->commands.FindTask(full));
    bool ended = WaitFlag({full});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    ASSERT_TRUE(ended && engine_->WaitIdle());
    EXPECT_EQ(Stored(full, "error"), platform::AnsiFromUtf8("磁盘空间不足"));
    EXPECT_TRUE(Game("full.bin") == game.substr(0, 2 << 20));
    EXPECT_FALSE(std::filesystem::exists(beside("full.bin")));
}

// The file a task writes is the one its finished entry names and its delete removes, whatever the
// link is called after a renewal; a file taken away under a transfer fails the task.
TEST_F(DownloadTest, TheTaskKnowsTheOneFileItsBytesAreIn) {
    engine_->context.saveIntervalMs = 200;
    std::string bytes = MakeFileBytes(400000, 32), mine = "the user's own zip";
    // Both old links serve a quarter of the file, then answer 410 for good.
    for (const char* name : {"g1", "g2"}) {
        site_.AddScriptedFile(std::string("/old/") + name + ".rar",
                              {{bytes}, {bytes, "", 200, 100000}, {"gone", "", 410}});
        WriteFile(games_ + "/" + name + ".zip", mine);
    }
    site_.AddFile("/new/g1.zip", bytes);
    site_.AddSlowFile("/new/g2.zip", bytes, 100000);
    std::string finished = Add("/old/g1.rar", "g1"), deleted = Add("/old/g2.rar", "g2");
    site_.AddParseReply(finished, site_.Url("/new/g1.zip"), "g1");
    site_.AddParseReply(deleted, site_.Url("/new/g2.zip"), "g2");
    std::string gone = games_ + "/gone";
    std::filesystem::create_directory(gone);
    site_.AddSlowFile("/files/slow.bin", bytes, 40000);
    std::string removed = Add("/files/slow.bin", "slow", gone);

    ASSERT_TRUE(WaitCompleted({finished}));
    EXPECT_EQ(Completed(finished, "path"), games_ + "/g1.rar");
    EXPECT_TRUE(Game("g1.rar") == bytes);
    // Renewed, and its count saved since.
    ASSERT_TRUE(WaitFor([&] {
        auto progress = LoadSegmentMap(games_ + "/g2.rar");
        return Stored(deleted, "fileLink") == site_.Url("/new/g2.zip") && progress && progress->DoneBytes() > 120000;
    }));
    EXPECT_EQ(engine_->commands.DeleteTask(engine_->commands.FindTask(deleted)), DeleteOutcome::Deleted);
    EXPECT_FALSE(std::filesystem::exists(games_ + "/g2.rar"));
    for (const char* name : {"g1.zip", "g2.zip"}) {
        EXPECT_EQ(Game(name), mine);
    }

    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(gone + "/slow.bin"); }));
    std::filesystem::remove_all(gone);
    ASSERT_TRUE(WaitFlag({removed}));
    EXPECT_EQ(Stored(removed, "error"), platform::AnsiFromUtf8("文件无法写入"));
    EXPECT_FALSE(IsCompleted(removed));
}

// A damaged archive, or a file whose digest (sent, or stored before a kill cut its check) does not
// match, fails at its check; its file stays, and its next start fetches it whole.
TEST_F(DownloadTest, ADamagedArchiveOrAWrongDigestFailsKeepsTheFileAndStartsOverWhole) {
    std::string zip = MakeArchive("zip", {{"game.bin", MakeFileBytes(300000, 40)}, {"readme.txt", "hi"}}),
                seven = MakeArchive("7z", {{"game.bin", MakeFileBytes(300000, 41)}}), size = std::to_string(zip.size()),
                wrong = "sha-256=:eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHg=:";
    auto flip = [](std::string bytes) { return bytes.replace(bytes.size() / 2, 1, 1, bytes[bytes.size() / 2] ^ 1); };
    // As a kill during the check leaves them: the whole count stored, the file on disk.
    site_.AddFile("/d/killed.zip", zip);
    site_.AddFile("/d/stored.bin", zip);
    std::vector<std::string> pages{Store("killed", "/d/killed.zip", zip.size(), size, flip(zip), "zip"),
                                   Store("stored", "/d/stored.bin", zip.size(), size, zip)};
    SetStored(pages[1], "digest", wrong);
    // The probe and the first transfer get the damaged bytes, every later request the good ones.
    site_.AddScriptedFile("/d/bad.zip", {{flip(zip)}, {flip(zip)}, {zip}});
    site_.AddScriptedFile("/d/bad7.7z", {{flip(seven)}, {flip(seven)}, {seven}});
    site_.Add("/d/lying.zip", {.bytes = zip, .headers = {{"Repr-Digest", wrong}}});
    site_.Add("/d/md5.bin", {.bytes = zip, .headers = {{"Content-MD5", "AAAAAAAAAAAAAAAAAAAAAA=="}}});
    for (std::string path : {"/d/bad.zip", "/d/bad7.7z", "/d/lying.zip", "/d/md5.bin"}) {
        pages.push_back(Add(path, path.substr(3, path.find('.') - 3)));
    }
    engine_->commands.StartTask(engine_->Task(0));
    engine_->commands.StartTask(engine_->Task(1));
    ASSERT_TRUE(WaitFlag(pages) && engine_->WaitIdle());
    std::string reason = platform::AnsiFromUtf8("文件已损坏（校验未通过）");
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(Stored(pages[row], "error") + Stored(pages[row], "downloadedSize") + engine_->list.Tip(row),
                  reason + "0" + reason)
            << row;
    }
    EXPECT_TRUE(Game("killed.zip") == flip(zip) && Game("bad.zip") == flip(zip) && Game("bad7.7z") == flip(seven));
    for (int row : {0, 2, 3}) {
        engine_->commands.StartTask(engine_->Task(row));
    }
    ASSERT_TRUE(WaitCompleted({pages[0], pages[2], pages[3]}));
    EXPECT_TRUE(Game("killed.zip") == zip && Game("bad.zip") == zip && Game("bad7.7z") == seven);
    for (const char* path : {"/d/killed.zip", "/d/bad.zip", "/d/bad7.7z"}) {
        EXPECT_EQ(site_.RangeHeaders(path).back(), "") << path;
    }
}

}  // namespace
}  // namespace tarvane::test
