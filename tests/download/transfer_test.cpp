#include <filesystem>
#include <fstream>

#include "platform/codepage.h"
#include "tarvane/engine/file_name.h"
#include "tests/download/download_test_base.h"

namespace tarvane::test {
namespace {

TEST_F(DownloadTest, NewTaskDownloadsAndMovesToTheCompletedList) {
    std::string bytes = MakeFileBytes(3 * 1024 * 1024 + 17);
    site_.AddFile("/files/a.rar", bytes);
    std::string page = Page("1", "/files/a.rar", "GameA");
    engine_->AddPage(page, games_, "fallback");

    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(ReadFile(games_ + "/GameA.rar"), bytes);
    EXPECT_EQ(engine_->list.RowCount(), 0);
    EXPECT_TRUE(Stored(page, "frmPge").empty());
    EXPECT_EQ(Completed(page, "path"), games_ + "/GameA.rar");
    EXPECT_EQ(Completed(page, "size"), std::to_string(bytes.size()));
    EXPECT_EQ(Completed(page, "type"), "rar");
    EXPECT_EQ(engine_->ports.sounds.load(), 1);
    EXPECT_EQ(site_.LastUserAgent("/files/a.rar"), kDefaultAgent);
}

TEST_F(DownloadTest, TypeComesFromTheFinalAddressOrTheContentType) {
    WriteConfig("[options]\nplayAudioCmp=0\n");
    std::string rar = MakeFileBytes(5000, 2), zip = MakeFileBytes(6000, 3), other = MakeFileBytes(7000, 4);
    site_.AddFile("/dl/setup.rar", rar);
    site_.AddRedirect("/go/1", site_.Url("/dl/setup.rar?id=3.5"));
    site_.AddFile("/dl/zipped", zip, "application/zip; charset=binary");
    site_.AddFileWithoutLength("/dl/other", other, "application/x-unheard-of");
    std::string p1 = Page("1", "/go/1", "one"), p2 = Page("2", "/dl/zipped", "two"),
                p3 = Page("3", "/dl/other", "three");
    engine_->AddPage(p1, games_);
    engine_->AddPage(p2, games_);
    engine_->AddPage(p3, games_);

    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(p1) && IsCompleted(p2) && IsCompleted(p3); }));
    std::string unknown = platform::AnsiFromUtf8("未知");
    EXPECT_EQ(ReadFile(games_ + "/one.rar"), rar);
    EXPECT_EQ(ReadFile(games_ + "/two.zip"), zip);
    EXPECT_EQ(ReadFile(platform::Utf8FromAnsi(games_ + "/three." + unknown)), other);
    EXPECT_EQ(Completed(p3, "type"), unknown);
    // Without a length from the server, what arrived is the size.
    EXPECT_EQ(Completed(p3, "size"), "7000");
    EXPECT_EQ(engine_->ports.sounds.load(), 0);
}

// A task stored with a count, as after a pause: the row from the list, then the start command.
class ResumeTest : public DownloadTest {
protected:
    // `size` is what the task's first probe found.
    std::string StoreTask(const std::string& path, const std::string& count, const std::string& partial, size_t size,
                          const std::string& name = "resumed", const std::string& type = "bin") {
        std::string page = "http://game.quellora.localhost:8717/game/r.htm";
        DownloadTask task;
        task.frmPge = page;
        task.name = name;
        task.path = games_;
        task.fileLink = site_.Url(path);
        task.size = std::to_string(size);
        task.downloadedSize = count;
        task.type = type;
        task.flag = "2";
        engine_->files.AddItem(engine_->DownloadFile(), task, false);
        WriteFile(platform::Utf8FromAnsi(games_ + "/" + name + "." + type), partial);
        engine_->files.LoadDownloadList(engine_->DownloadFile(), engine_->list);
        return page;
    }
};

TEST_F(ResumeTest, ResumesAtNineteenTwentiethsOfTheCount) {
    std::string bytes = MakeFileBytes(100000, 5);
    site_.AddFile("/files/r.bin", bytes);
    std::string page = StoreTask("/files/r.bin", "200", bytes.substr(0, 200), bytes.size());
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/resumed.bin"), bytes);
    auto ranges = site_.RangeHeaders("/files/r.bin");
    ASSERT_EQ(ranges.size(), 2u);  // the probe, then the transfer
    EXPECT_EQ(ranges[0], "");
    EXPECT_EQ(ranges[1], "bytes=190-");
}

TEST_F(ResumeTest, CountAheadOfTheFileResumesFromTheFile) {
    // A crash can leave a count that the disk never got: no hole may be left.
    std::string bytes = MakeFileBytes(100000, 6);
    site_.AddFile("/files/r.bin", bytes);
    std::string page = StoreTask("/files/r.bin", "90000", bytes.substr(0, 1000), bytes.size());
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/resumed.bin"), bytes);
    EXPECT_EQ(site_.RangeHeaders("/files/r.bin").back(), "bytes=950-");
}

TEST_F(ResumeTest, ServerIgnoringTheRangeRestartsTheFile) {
    std::string bytes = MakeFileBytes(50000, 7);
    site_.AddFileIgnoringRange("/files/r.bin", bytes);
    std::string page = StoreTask("/files/r.bin", "20000", std::string(20000, 'x'), bytes.size());
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/resumed.bin"), bytes);
}

TEST_F(ResumeTest, A206FromTheWrongPlaceRestartsTheWholeFile) {
    std::string bytes = MakeFileBytes(50000, 13);
    site_.AddHostileFile("/files/r.bin", bytes, TestSite::Hostile::RangeEarly, 4096);
    std::string page = StoreTask("/files/r.bin", "20000", bytes.substr(0, 20000), bytes.size());
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/resumed.bin"), bytes);
    EXPECT_EQ(site_.RangeHeaders("/files/r.bin").back(), "");
}

TEST_F(ResumeTest, AFileThatChangedSizeStartsOver) {
    std::string now = MakeFileBytes(30000, 14);
    site_.AddFile("/files/r.bin", now);
    std::string page = StoreTask("/files/r.bin", "6300", MakeFileBytes(6300, 15), 10000);
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/resumed.bin"), now);
    EXPECT_EQ(site_.RangeHeaders("/files/r.bin").back(), "");
}

TEST_F(ResumeTest, ABegunTaskKeepsItsOwnFileWhateverTypeTheServerNamesNow) {
    // "同名": X finished as 同名.exe; Y began as 同名.zip and its server now says exe.
    std::string name = "\xCD\xAC\xC3\xFB", finished = "X's finished file";
    DownloadTask x;
    x.frmPge = "http://game.quellora.localhost:8717/game/x.htm";
    x.name = name;
    x.path = games_;
    x.type = "exe";
    engine_->files.AddItem(engine_->CompletedFile(), x, true);
    WriteFile(platform::Utf8FromAnsi(games_ + "/" + name + ".exe"), finished);
    std::string bytes = MakeFileBytes(40000, 16);
    site_.AddFile("/files/y.exe", bytes);
    std::string page = StoreTask("/files/y.exe", "2000", bytes.substr(0, 2000), bytes.size(), name, "zip");
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(platform::Utf8FromAnsi(games_ + "/" + name + ".exe")), finished);
    EXPECT_EQ(ReadFile(platform::Utf8FromAnsi(games_ + "/" + name + ".zip")), bytes);
}

TEST_F(DownloadTest, HostileServersNeverLeaveACorruptFileMarkedFinished) {
    // A 206 to a request without a range; a probe that promises more than the transfer brings; a
    // redirect loop.
    std::string bytes = MakeFileBytes(30000, 17);
    site_.AddHostileFile("/files/part.bin", bytes, TestSite::Hostile::PartialWithoutRange, 1000);
    site_.AddFileVersions("/files/short.bin", {MakeFileBytes(300000, 18), MakeFileBytes(100000, 18)});
    site_.AddRedirect("/files/loop.bin", site_.Url("/files/loop.bin"));
    std::string p1 = Page("1", "/files/part.bin", "part"), p2 = Page("2", "/files/short.bin", "short"),
                p3 = Page("3", "/files/loop.bin", "loop");
    engine_->AddPage(p1, games_);
    engine_->AddPage(p2, games_);
    engine_->AddPage(p3, games_);
    ASSERT_TRUE(EngineHarness::WaitFor(
        [&] { return Stored(p1, "flag") == "3" && Stored(p2, "flag") == "3" && Stored(p3, "flag") == "3"; }));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_FALSE(IsCompleted(p1) || IsCompleted(p2) || IsCompleted(p3));
    // What arrived is kept and counted, so a start resumes from it.
    EXPECT_EQ(Stored(p2, "size"), "300000");
    EXPECT_EQ(Stored(p2, "downloadedSize"), "100000");
}

TEST_F(DownloadTest, DroppedTransferFailsKeepsItsCountAndRestartsToTheWholeFile) {
    engine_->context.retry.waits.clear();  // a drop fails the task here
    std::string bytes = MakeFileBytes(2 * 1024 * 1024, 8);
    site_.AddDroppingFile("/files/d.bin", bytes, 700000);
    std::string page = Page("1", "/files/d.bin", "dropped");
    engine_->AddPage(page, games_);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return Stored(page, "flag") == "3"; }));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(engine_->list.Image(0), kImageFailed);
    long long counted = std::stoll(Stored(page, "downloadedSize"));
    EXPECT_GT(counted, 0);
    EXPECT_LE(counted, 700000);
    EXPECT_EQ(Stored(page, "size"), std::to_string(bytes.size()));

    site_.AddFile("/files/d.bin", bytes);
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/dropped.bin"), bytes);
}

TEST_F(DownloadTest, ErrorPagesFailTheTaskAndNeverLandAnywhere) {
    site_.AddStatus("/files/gone.rar", 404, "<html>not here</html>");
    site_.AddStatus("/files/boom.rar", 500, "<html>error</html>");
    std::string p1 = Page("1", "/files/gone.rar", "gone"), p2 = Page("2", "/files/boom.rar", "boom");
    engine_->AddPage(p1, games_);
    engine_->AddPage(p2, games_);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return Stored(p1, "flag") == "3" && Stored(p2, "flag") == "3"; }));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_FALSE(IsCompleted(p1));
    EXPECT_FALSE(IsCompleted(p2));
    EXPECT_EQ(engine_->list.Image(0), kImageFailed);
    EXPECT_EQ(engine_->list.Image(1), kImageFailed);
    EXPECT_TRUE(std::filesystem::is_empty(games_));
}

TEST_F(DownloadTest, ExistingFileOfTheSameNameIsNeverTouched) {
    std::string mine = "the user's own file";
    WriteFile(games_ + "/clash.rar", mine);
    std::string bytes = MakeFileBytes(40000, 9);
    site_.AddFile("/files/clash.rar", bytes);
    std::string page = Page("1", "/files/clash.rar", "clash");
    engine_->AddPage(page, games_);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }));
    EXPECT_EQ(ReadFile(games_ + "/clash.rar"), mine);
    EXPECT_EQ(ReadFile(games_ + "/clash(1).rar"), bytes);
    EXPECT_EQ(Completed(page, "path"), games_ + "/clash(1).rar");
}

TEST_F(DownloadTest, ServiceNamesBecomePlainFileNames) {
    std::string bytes = MakeFileBytes(3000, 10);
    site_.AddFile("/files/e.rar", bytes);
    std::string page = Page("1", "/files/e.rar", "../../escape"), stray = Page("2", "/files/e.rar", "b\x81/c");
    engine_->AddPage(page, games_);
    engine_->AddPage(stray, games_);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page) && IsCompleted(stray); }));
    // A lead byte without its trail byte takes no "/" along into a subfolder.
    EXPECT_EQ(ReadFile(games_ + "/b?_c.rar"), bytes);
    // No hidden file either.
    EXPECT_EQ(ReadFile(games_ + "/___.._escape.rar"), bytes);
    EXPECT_FALSE(std::filesystem::exists(temp_.File("escape.rar")));
}

TEST_F(DownloadTest, LinkWithoutANameIsNamedAfterItsFile) {
    std::string bytes = MakeFileBytes(2000, 12);
    site_.AddFile("/files/tiexue-zhanshen.zip", bytes);
    // A direct file address handed over with no name, as from the command line.
    std::string link = site_.Url("/files/tiexue-zhanshen.zip?mirror=2");
    engine_->AddPage(link, games_);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(link); }));
    EXPECT_EQ(ReadFile(games_ + "/tiexue-zhanshen.zip"), bytes);
    EXPECT_EQ(NameFromUrl("http://h.localhost/a/b.c.rar#x"), "b.c");
    EXPECT_EQ(NameFromUrl("http://h.localhost/"), "");
    EXPECT_EQ(NameFromUrl("not a link"), "");
}

TEST_F(DownloadTest, UnwritableFolderFailsTheTask) {
    std::string bytes = MakeFileBytes(3000, 11);
    site_.AddFile("/files/n.rar", bytes);
    std::string page = Page("1", "/files/n.rar", "nowhere");
    engine_->AddPage(page, games_ + "/missing/folder");
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return Stored(page, "flag") == "3"; }));
    ASSERT_TRUE(engine_->WaitIdle());
    EXPECT_EQ(engine_->list.Image(0), kImageFailed);
}

TEST_F(DownloadTest, PauseDuringTheProbeEndsPaused) {
    site_.AddStallingFile("/files/s.bin", MakeFileBytes(10000, 12), 0);
    std::string page = Page("1", "/files/s.bin", "stalled");
    engine_->AddPage(page, games_);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return engine_->tables.HasWorker(engine_->list.KeyOfRow(0)); }));
    EXPECT_EQ(engine_->commands.GetTaskState(0, page), kStatePreparing);
    EXPECT_TRUE(engine_->commands.MenuForRow(0).empty());
    ASSERT_EQ(engine_->ports.messages.size(), 1u);
    engine_->commands.PauseTask(0);
    ASSERT_TRUE(engine_->WaitIdle(std::chrono::seconds(5)));
    EXPECT_EQ(Stored(page, "flag"), "2");
    EXPECT_EQ(engine_->list.Image(0), kImageIdle);
    auto menu = engine_->commands.MenuForRow(0);
    ASSERT_EQ(menu.size(), 12u);
    EXPECT_TRUE(menu[0].enabled);   // start
    EXPECT_FALSE(menu[1].enabled);  // pause
}

TEST_F(DownloadTest, FilesBeyondTwoGibibytesResumeAtTheirOffset) {
    const uint64_t size = 3'000'000'000ULL;
    site_.AddVirtualFile("/files/big.bin", size);
    std::string page = "http://game.quellora.localhost:8717/game/big.htm";
    DownloadTask task;
    task.frmPge = page;
    task.name = "big";
    task.path = games_;
    task.fileLink = site_.Url("/files/big.bin");
    task.size = std::to_string(size);
    task.downloadedSize = "2990000000";
    task.type = "bin";
    engine_->files.AddItem(engine_->DownloadFile(), task, false);
    WriteFile(games_ + "/big.bin", "");
    std::filesystem::resize_file(std::filesystem::path(games_) / "big.bin", 2990000000ULL);  // sparse
    engine_->files.LoadDownloadList(engine_->DownloadFile(), engine_->list);
    engine_->commands.StartTask(0);
    ASSERT_TRUE(EngineHarness::WaitFor([&] { return IsCompleted(page); }, std::chrono::seconds(120)));
    EXPECT_EQ(site_.RangeHeaders("/files/big.bin").back(), "bytes=2840500000-");
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(games_) / "big.bin"), size);
    std::ifstream in(games_ + "/big.bin", std::ios::binary);
    for (uint64_t offset : {uint64_t{2840500000}, uint64_t{2900000001}, size - 1}) {
        in.seekg(static_cast<std::streamoff>(offset));
        EXPECT_EQ(in.get(), static_cast<unsigned char>(VirtualByte(offset))) << offset;
    }
}

}  // namespace
}  // namespace tarvane::test
