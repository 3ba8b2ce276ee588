#include "updater/update_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <string>
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "updater/curl_fetcher.h"
#include "updater/version_file.h"

namespace tarvane::updater {
namespace {

using tarvane::test::ReadFile;
using tarvane::test::WriteFile;

// Real HTTP through libcurl, with the addresses it was asked for on record.
class RecordingFetcher : public HttpFetcher {
public:
    FetchResult Fetch(const std::string& address, const std::function<bool(std::string_view)>& sink) override {
        addresses.push_back(address);
        return curl_.Fetch(address, sink);
    }
    std::vector<std::string> addresses;

private:
    CurlFetcher curl_;
};

class UpdateCheckTest : public tarvane::test::TempDirTest {
protected:
    void SetInstalledVersion(const std::string& value) {
        WriteFile(temp_.File("config.ini"), "[main]\nVer=" + value + "\n");
    }
    void Publish(const std::string& body, int status = 200) {
        status == 200 ? server_.AddFile(kVersionFilePath, body) : server_.AddStatus(kVersionFilePath, status, body);
    }
    std::string InstallerUrl() const { return server_.Url("/files/setup.run"); }

    UpdateOutcome Run() { return Run(fetcher_); }
    // Publishes a version file and runs a check against it.
    UpdateOutcome RunWith(const std::string& body, int status = 200) {
        Publish(body, status);
        return Run();
    }
    UpdateOutcome Run(HttpFetcher& fetcher) {
        return RunUpdateCheck({temp_.Directory(), server_.Url(kVersionFilePath)}, fetcher, starter_);
    }
    // Nothing was started, and the program directory holds nothing but config.ini.
    void ExpectNothingStartedOrLeft() const {
        EXPECT_TRUE(starter_.Started().empty());
        for (const auto& entry : std::filesystem::directory_iterator(temp_.path())) {
            EXPECT_EQ(entry.path().filename(), "config.ini");
        }
    }

    tarvane::test::TestSite server_;
    RecordingFetcher fetcher_;
    tarvane::test::RecordingStarter starter_;
};

TEST_F(UpdateCheckTest, NewerVersionFetchesAndStartsTheInstaller) {
    // A stand-in installer that leaves a marker where the test can see it.
    std::string marker = temp_.File("installed.marker");
    std::string script =
        "#!/bin/sh\necho \"$0\" > '" + marker + ".part' && mv '" + marker + ".part' '" + marker + "'\n";
    server_.AddFile("/files/setup.run", script);
    SetInstalledVersion("41");
    Publish("42|||" + InstallerUrl());

    platform::SystemProcessStarter realStarter;
    EXPECT_EQ(RunUpdateCheck({temp_.Directory(), server_.Url(kVersionFilePath)}, fetcher_, realStarter),
              UpdateOutcome::InstallerStarted);

    std::string installer = temp_.File("updateZip");
    EXPECT_EQ(ReadFile(installer), script);
    struct stat info {};
    ASSERT_EQ(stat(installer.c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    for (int i = 0; i < 400 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(ReadFile(marker), installer + "\n");
}

TEST_F(UpdateCheckTest, NoUpdateUnlessThePublishedVersionIsGreater) {
    server_.AddFile("/files/setup.run", "installer");
    EXPECT_EQ(InstalledVersion(temp_.Directory()), 1u);  // no config.ini
    SetInstalledVersion("1000");
    EXPECT_EQ(RunWith("1000|||" + InstallerUrl()), UpdateOutcome::UpToDate);
    EXPECT_EQ(RunWith("999|||" + InstallerUrl()), UpdateOutcome::UpToDate);
    EXPECT_EQ(RunWith("1000 " + InstallerUrl()), UpdateOutcome::Malformed);
    EXPECT_EQ(server_.RequestCount("/files/setup.run"), 0);
    ExpectNothingStartedOrLeft();

    // A minus sign makes a huge unsigned number, which is newer than anything installed.
    EXPECT_EQ(RunWith("-1|||" + InstallerUrl()), UpdateOutcome::InstallerStarted);
    EXPECT_THAT(starter_.Programs(), testing::ElementsAre(temp_.File("updateZip")));
    EXPECT_EQ(ReadFile(temp_.File("updateZip")), "installer");
}

TEST_F(UpdateCheckTest, ErrorPagesAreNeverTakenForAVersionOrAnInstaller) {
    SetInstalledVersion("1");
    // An error page that happens to look like a version file.
    EXPECT_EQ(RunWith("9|||" + InstallerUrl(), 404), UpdateOutcome::NoVersionFile);
    EXPECT_EQ(server_.RequestCount("/files/setup.run"), 0);

    // The installer answers with an error page; an older installer of the same name goes too.
    WriteFile(temp_.File("updateZip"), "old installer");
    server_.AddStatus("/files/setup.run", 500, "<html>Internal error</html>");
    EXPECT_EQ(RunWith("9|||" + InstallerUrl()), UpdateOutcome::DownloadFailed);
    ExpectNothingStartedOrLeft();

    // An installer cut off halfway, and anything but http and https.
    server_.AddDroppingFile("/files/setup.run", std::string(300000, 'i'), 100000);
    EXPECT_EQ(RunWith("9|||" + InstallerUrl()), UpdateOutcome::DownloadFailed);
    EXPECT_EQ(RunWith("9|||file:///bin/sh"), UpdateOutcome::DownloadFailed);
    ExpectNothingStartedOrLeft();
}

TEST_F(UpdateCheckTest, UnreachableSiteOversizedBodiesAndStalledServersEndTheCheck) {
    UpdaterSetup unreachable{temp_.Directory(), "http://127.0.0.1:1/softUpdate/tarvane/newVerInfo.txt"};
    EXPECT_EQ(RunUpdateCheck(unreachable, fetcher_, starter_), UpdateOutcome::NoVersionFile);
    EXPECT_EQ(RunWith("9|||" + InstallerUrl() + std::string(100000, ' ') + "x"), UpdateOutcome::NoVersionFile);

    SetInstalledVersion("1");
    server_.AddStallingFile("/files/setup.run", std::string(1000, 'x'), 1);
    Publish("2|||" + InstallerUrl());
    CurlFetcher impatient(CurlFetcher::Limits{5, 1});
    EXPECT_EQ(Run(impatient), UpdateOutcome::DownloadFailed);
    ExpectNothingStartedOrLeft();
}

TEST_F(UpdateCheckTest, HugeTricklingOrLateTransfersEndTheCheckAndStaleTemporariesGo) {
    SetInstalledVersion("1");
    WriteFile(temp_.File(".updateZip.Ab12Cd"), "left behind by a killed updater");
    server_.AddFile("/files/setup.run", std::string(300000, 'i'));
    Publish("2|||" + InstallerUrl());
    UpdaterSetup small{temp_.Directory(), server_.Url(kVersionFilePath), 100000, 1000, std::chrono::seconds(0)};
    EXPECT_EQ(RunUpdateCheck(small, fetcher_, starter_), UpdateOutcome::DownloadFailed);
    ExpectNothingStartedOrLeft();

    // 20 bytes a second for 5 seconds: below the speed floor, cut after its one second.
    server_.AddSlowFile("/files/setup.run", std::string(100, 't'), 20);
    CurlFetcher slowCut(CurlFetcher::Limits{5, 1, 1024, std::chrono::seconds(600)});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunUpdateCheck(small, slowCut, starter_), UpdateOutcome::DownloadFailed);
    // Fast enough for the floor, but the whole check has one second.
    server_.AddSlowFile(kVersionFilePath, "2|||" + InstallerUrl(), 20);
    CurlFetcher hurried(CurlFetcher::Limits{5, 60, 1, std::chrono::seconds(1)});
    EXPECT_EQ(RunUpdateCheck(small, hurried, starter_), UpdateOutcome::NoVersionFile);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    ExpectNothingStartedOrLeft();
}

TEST(VersionFile, SplitsAtTheFirstSeparatorAndRefusesLongAddresses) {
    // Outer blanks go; the blank before "|||" ends the number; the one after stays in the address.
    auto blanks = ParseVersionFile("   7 ||| http://a.b/c|||d   ");
    ASSERT_TRUE(blanks);
    EXPECT_EQ(blanks->version, 7u);
    EXPECT_EQ(blanks->installerAddress, " http://a.b/c|||d");
    EXPECT_FALSE(ParseVersionFile("1001||http://a.b/c"));

    std::string address(259, 'a');
    EXPECT_TRUE(ParseVersionFile("2|||" + address + "    "));  // trailing blanks do not count
    EXPECT_FALSE(ParseVersionFile("2|||" + address + "a"));

    // Numbers read like atoi and compare unsigned.
    EXPECT_EQ(ParseVersionNumber(" \t\n+42abc"), 42u);
    EXPECT_EQ(ParseVersionNumber("99999999999999999999999"), 2147483647u);
}

}  // namespace
}  // namespace tarvane::updater
