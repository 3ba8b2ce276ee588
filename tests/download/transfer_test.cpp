#include <filesystem>
#include <fstream>
#include <optional>

#include "tarvane/engine/file_name.h"
#include "tests/download/engine_harness.h"

namespace tarvane::test {
namespace {

// Downloads that finish side by side: each file whole, named and typed after the service, the final
// address or the content type, never over a file that is there, and moved to the completed list.
TEST_F(DownloadTest, FinishedDownloadsAreNamedTypedAndMovedToTheCompletedList) {
    std::string bytes = MakeFileBytes(3 * 1024 * 1024 + 17), rar = MakeFileBytes(5000, 2), zip = MakeFileBytes(6000, 3),
                other = MakeFileBytes(7000, 4), small = MakeFileBytes(3000, 10), mine = "the user's own file";
    site_.AddFile("/files/a.rar", bytes);
    site_.AddFile("/dl/setup.rar", rar);
    site_.Add("/go/1", {.status = 302, .headers = {{"Location", site_.Url("/dl/setup.rar?id=3.5")}}});
    site_.AddFile("/dl/zipped", zip, "application/zip; charset=binary");
    site_.Add("/dl/other", {.bytes = other, .contentType = "application/x-unheard-of", .chunked = true});
    site_.AddFile("/files/e.rar", small);
    site_.AddFile("/files/tiexue-zhanshen.zip", small);
    WriteFile(games_ + "/clash.rar", mine);
    std::string page = Page("/files/a.rar", "GameA"), three = Add("/dl/other", "three"),
                clash = Add("/files/e.rar", "clash");
    // A direct file address handed over with no name, as from the command line.
    std::string link = site_.Url("/files/tiexue-zhanshen.zip?mirror=2");
    std::string escape = Page("/files/e.rar", "../../escape", "1"), stray = Page("/files/e.rar", "b\x81/c", "2");
    engine_->AddPage(page, games_, {.name = "fallback"});
    for (const std::string& added : {link, escape, stray}) {
        engine_->AddPage(added, games_);
    }
    ASSERT_TRUE(
        WaitCompleted({page, Add("/go/1", "one"), Add("/dl/zipped", "two"), three, clash, link, escape, stray}));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(engine_->list.RowCount(), 0);
    EXPECT_EQ(engine_->ports.sounds.load(), 8);

    EXPECT_TRUE(Game("GameA.rar") == bytes);
    EXPECT_TRUE(Stored(page, "frmPge").empty());
    EXPECT_EQ(Completed(page, "path"), games_ + "/GameA.rar");
    EXPECT_EQ(Completed(page, "size"), std::to_string(bytes.size()));
    EXPECT_EQ(Completed(page, "type"), "rar");
    EXPECT_EQ(site_.LastUserAgent("/files/a.rar"), kDefaultAgent);

    std::string unknown = platform::AnsiFromUtf8("未知");
    EXPECT_TRUE(Game("one.rar") == rar);
    EXPECT_TRUE(Game("two.zip") == zip);
    EXPECT_TRUE(Game("three." + unknown) == other);
    EXPECT_EQ(Completed(three, "type"), unknown);
    // Without a length from the server, what arrived is the size.
    EXPECT_EQ(Completed(three, "size"), "7000");

    EXPECT_EQ(Game("clash.rar"), mine);
    EXPECT_EQ(Game("clash(1).rar"), small);
    EXPECT_EQ(Completed(clash, "path"), games_ + "/clash(1).rar");
    // A lead byte without its trail byte takes no "/" along into a subfolder.
    EXPECT_EQ(Game("b?_c.rar"), small);
    // No hidden file either.
    EXPECT_EQ(Game("___.._escape.rar"), small);
    EXPECT_FALSE(std::filesystem::exists(temp_.File("escape.rar")));
    EXPECT_EQ(Game("tiexue-zhanshen.zip"), small);
    EXPECT_EQ(NameFromUrl("http://h.localhost/a/b.c.rar#x"), "b.c");
    EXPECT_EQ(NameFromUrl("http://h.localhost/"), "");
    EXPECT_EQ(NameFromUrl("not a link"), "");
}

// Stored tasks with a count, as after a pause, each started from its row: the finished file is the
// server's whatever the count, the file on disk and the server say about the rest.
TEST_F(DownloadTest, ResumesFromTheFileOnDiskOrStartsOverWhenTheServerCannotGoOn) {
    std::string bytes = MakeFileBytes(100000, 5), other = MakeFileBytes(30000, 14);
    // Nineteen twentieths of a count of 20000; a 206 from 4096 bytes before that.
    TestSite::Answer early{.bytes = bytes.substr(14904), .status = 206};
    early.headers["Content-Range"] = "bytes 14904-99999/100000";
    struct Case {
        std::string name;
        std::vector<TestSite::Answer> answers;  // to the probe, the transfer and on
        size_t probedSize;                      // what the task's first probe found
        std::string count;
        std::string partial;
        std::optional<std::string> lastRange;  // of the transfer
    } cases[] = {
        // Nineteen twentieths of the count.
        {"nineteen", {{bytes}}, bytes.size(), "200", bytes.substr(0, 200), "bytes=190-"},
        // A crash can leave a count that the disk never got: no hole may be left.
        {"ahead", {{bytes}}, bytes.size(), "90000", bytes.substr(0, 1000), "bytes=950-"},
        {"ignored", {{.bytes = bytes, .ignoreRange = true}}, bytes.size(), "20000", std::string(20000, 'x'), {}},
        // A 206 from the wrong place.
        {"early", {{bytes}, early, {bytes}}, bytes.size(), "20000", bytes.substr(0, 20000), ""},
        // The file changed size since the probe.
        {"resized", {{other}}, 10000, "6300", MakeFileBytes(6300, 15), ""},
    };
    std::vector<std::string> pages;
    for (const Case& c : cases) {
        site_.AddScriptedFile("/r/" + c.name, c.answers);
        pages.push_back(Store(c.name, "/r/" + c.name, c.probedSize, c.count, c.partial));
    }
    for (int row = 0; row < 5; ++row) {
        engine_->commands.StartTask(engine_->Task(row));
    }
    ASSERT_TRUE(WaitCompleted(pages));
    for (const Case& c : cases) {
        EXPECT_TRUE(Game(c.name + ".bin") == c.answers.back().bytes) << c.name;
        if (c.lastRange) {
            EXPECT_EQ(site_.RangeHeaders("/r/" + c.name).back(), *c.lastRange) << c.name;
        }
    }
    // The probe, then the transfer.
    EXPECT_EQ(site_.RangeHeaders("/r/nineteen"), (std::vector<std::string>{"", "bytes=190-"}));
}

TEST_F(DownloadTest, FailingServersAndFoldersFailTheTaskAndNeverLeaveAFileMarkedFinished) {
    // A 206 to a request without a range; a redirect loop; error pages; a missing folder; links of
    // other schemes (gopher smuggles a request).
    std::string site = site_.Host();
    site_.Add("/files/ftp", {.status = 302, .headers = {{"Location", "ftp://" + site + "/x.rar"}}});
    TestSite::Answer part{.bytes = MakeFileBytes(30000, 17).substr(1000), .status = 206};
    part.headers["Content-Range"] = "bytes 1000-29999/30000";
    site_.Add("/files/part.bin", part);
    site_.Add("/files/loop.bin", {.status = 302, .headers = {{"Location", site_.Url("/files/loop.bin")}}});
    site_.AddStatus("/files/gone.rar", 404, "<html>not here</html>");
    site_.AddStatus("/files/boom.rar", 500, "<html>error</html>");
    site_.AddFile("/files/n.rar", MakeFileBytes(3000, 11));
    std::string errors = games_ + "/errors";
    std::filesystem::create_directory(errors);
    std::vector<std::string> pages{Add("/files/part.bin", "part"),
                                   Add("/files/loop.bin", "loop"),
                                   Add("/files/gone.rar", "gone", errors),
                                   Add("/files/boom.rar", "boom", errors),
                                   Add("/files/n.rar", "nowhere", games_ + "/no/such"),
                                   Add("/files/ftp", "ftp")};
    for (std::string link : {"gopher://" + site + "/_GET%20/knock%20HTTP/1.0%0D%0A%0D%0A", "dict://" + site + "/d:x",
                             "file://" + engine_->DownloadFile()}) {
        pages.push_back(GamePage(link.substr(0, 4)));
        site_.SetParseReply(pages.back(), link, "x");
        engine_->AddPage(pages.back(), games_);
    }
    ASSERT_TRUE(WaitFlag(pages));
    ASSERT_TRUE(engine_->WaitIdle());
    for (int row = 0; row < 9; ++row) {
        EXPECT_FALSE(IsCompleted(pages[row])) << row;
        EXPECT_EQ(engine_->list.Image(row), kImageFailed) << row;
        EXPECT_TRUE(row < 5 || Stored(pages[row], "error") == platform::AnsiFromUtf8("下载地址无效")) << row;
    }
    EXPECT_EQ(site_.RequestCount("/knock"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(errors));
}

// Paused while the probe or a renewal waits, or by the program's end (which saves a running count too);
// a renewal naming a link of another scheme leaves the stored link as it was.
TEST_F(DownloadTest, PauseDuringTheProbeOrTheProgramsEndDuringARenewalEndsPaused) {
    site_.AddStallingFile("/files/s.bin", MakeFileBytes(10000, 12), 0);
    std::string page = Add("/files/s.bin", "stalled");
    ASSERT_TRUE(WaitFor([&] { return site_.RequestCount("/files/s.bin") == 1; }));
    EXPECT_EQ(engine_->commands.GetTaskState(engine_->Task(0)), kStatePreparing);
    EXPECT_TRUE(engine_->commands.MenuFor(engine_->Task(0)).empty());
    engine_->commands.PauseTask(engine_->Task(0));
    ASSERT_TRUE(engine_->WaitIdle(5s));
    EXPECT_EQ(Stored(page, "flag"), "2");
    EXPECT_EQ(engine_->list.Image(0), kImageIdle);
    auto menu = engine_->commands.MenuFor(engine_->Task(0));
    ASSERT_EQ(menu.size(), 12u);
    EXPECT_TRUE(menu[0].enabled);   // start
    EXPECT_FALSE(menu[1].enabled);  // pause

    site_.AddStatus("/files/s.bin", 410, "");
    site_.AddParseReply(page, "gopher://127.0.0.1:1/_FLUSHALL", "stalled");
    engine_->commands.StartTask(engine_->Task(0));
    ASSERT_TRUE(WaitFlag({page}));
    EXPECT_EQ(Stored(page, "error") + Stored(page, "fileLink"),
              platform::AnsiFromUtf8("下载地址无效") + site_.Url("/files/s.bin"));
    site_.AddSlowFile("/files/slow.bin", MakeFileBytes(4 * 1024 * 1024, 4), 256 * 1024);
    std::string slow = Add("/files/slow.bin", "slow");
    ASSERT_TRUE(WaitFor([&] { return !Stored(slow, "fileLink").empty(); }));
    site_.HoldParseReplies();
    engine_->commands.StartTask(engine_->Task(0));
    ASSERT_TRUE(WaitFor([&] { return site_.ParseRequestLinks().size() == 4; }));  // the second renewal
    ASSERT_TRUE(WaitFor([&] { return engine_->list.SubItemText(1, kColumnPercent) != "0%"; }));
    EXPECT_TRUE(engine_->scheduler.Shutdown(10s));  // well within the service's own limit of 30 s
    EXPECT_EQ(Stored(page, "flag") + Stored(slow, "flag"), "22");
    long long counted = std::stoll(Stored(slow, "downloadedSize"));
    EXPECT_GT(counted, 0);
    EXPECT_GE(static_cast<long long>(std::filesystem::file_size(games_ + "/slow.bin")), counted);
}

TEST_F(DownloadTest, FilesBeyondTwoGibibytesResumeAtTheirOffset) {
    const uint64_t size = 3'000'000'000ULL;
    const std::filesystem::path file = std::filesystem::path(games_) / "big.bin";
    site_.Add("/files/big.bin", {.virtualSize = size});
    std::string page = Store("big", "/files/big.bin", size, "2990000000", "");
    std::filesystem::resize_file(file, 2990000000ULL);  // sparse
    engine_->commands.StartTask(engine_->Task(0));
    ASSERT_TRUE(WaitFor([&] { return IsCompleted(page); }, 120s));
    EXPECT_EQ(site_.RangeHeaders("/files/big.bin")[1], "bytes=2840500000-");
    EXPECT_EQ(std::filesystem::file_size(file), size);
    std::ifstream in(file, std::ios::binary);
    for (uint64_t offset : {uint64_t{2840500000}, uint64_t{2900000001}, size - 1}) {
        in.seekg(static_cast<std::streamoff>(offset));
        EXPECT_EQ(in.get(), static_cast<unsigned char>(VirtualByte(offset))) << offset;
    }
}

}  // namespace
}  // namespace tarvane::test
