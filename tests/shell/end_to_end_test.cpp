#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "tarvane/engine/task_record.h"
#include "tarvane/store/task_files.h"
#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

// The real program, offscreen, on a program directory of its own, against a local site.
class EndToEnd : public TempDirTest {
protected:
    void Start(const std::string& page) {
        std::string program = temp_.File("tarvane");
        std::filesystem::copy_file(TARVANE_BINARY, program);
        WriteFile(temp_.File("updater"), "#!/bin/sh\n");
        std::filesystem::permissions(temp_.File("updater"), std::filesystem::perms::owner_all);
        for (const char* folder : {"saved", "runtime"}) {
            std::filesystem::create_directories(temp_.File(folder));
            std::filesystem::permissions(temp_.File(folder), std::filesystem::perms::owner_all);
        }
        WriteFile(temp_.File("config.ini"), "[options]\ndefaultPath=" + temp_.File("saved") + "\n");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        auto set = [&](const char* name, const std::string& value) {
            environment.insert(QString::fromLatin1(name), QString::fromStdString(value));
        };
        set("QT_QPA_PLATFORM", "offscreen");
        set("TARVANE_WEB_PANE", "0");
        set("XDG_RUNTIME_DIR", temp_.File("runtime"));
        set("XDG_DATA_HOME", temp_.File("data"));
        set("XDG_CONFIG_HOME", temp_.File("config"));
        set("TARVANE_OFFICIAL_HOST", "127.0.0.1:" + std::to_string(site_.port()));
        set("TARVANE_SITE_DOMAIN", "quellora.localhost");
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QString::fromStdString(program), {QString::fromStdString(">" + page + "<")});
        ASSERT_TRUE(process_.waitForStarted(10000));
    }

    // Ended by the session: an orderly end with exit code 0.
    void Terminate() {
        kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        EXPECT_TRUE(process_.waitForFinished(30000));
        EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process_.exitCode(), 0);
    }

    std::string Field(const std::string& page, const std::string& field) {
        return files_.GetItemField(temp_.File("download.xml"), "frmPge", page, field);
    }

    TestSite site_;
    QProcess process_;
    TaskFiles files_;
};

TEST_F(EndToEnd, CommandLineLinkIsDownloadedAndCompleted) {
    std::string page = "http://game.quellora.localhost/game/42.htm";
    std::string bytes = MakeFileBytes(300000, 42);
    site_.AddFile("/files/game42.zip", bytes, "application/zip");
    site_.SetParseReply(page, site_.Url("/files/game42.zip"), "game42");
    Start(page);

    std::string completed = temp_.File("completed.xml");
    bool done = SpinUntil(
        [&] {
            // The item is added to the completed list before it leaves the download list.
            return std::filesystem::exists(completed) && ReadFile(completed).find(page) != std::string::npos &&
                   ReadFile(temp_.File("download.xml")).find(page) == std::string::npos &&
                   std::filesystem::exists(temp_.File("saved/game42.zip"));
        },
        std::chrono::seconds(60));
    EXPECT_TRUE(done);
    if (done) {
        EXPECT_EQ(ReadFile(temp_.File("saved/game42.zip")), bytes);
    }
    Terminate();
    EXPECT_EQ(site_.ParseRequestLinks(), std::vector<std::string>{page});
}

TEST_F(EndToEnd, EndingWhileDownloadingKeepsTheCount) {
    std::string page = "http://game.quellora.localhost/game/43.htm";
    site_.AddSlowFile("/files/game43.zip", MakeFileBytes(2000000, 43), 100000);
    site_.SetParseReply(page, site_.Url("/files/game43.zip"), "game43");
    Start(page);
    std::string data = temp_.File("saved/game43.zip");
    ASSERT_TRUE(SpinUntil([&] { return std::filesystem::exists(data) && std::filesystem::file_size(data) > 50000; },
                          std::chrono::seconds(60)));
    Terminate();
    // Paused, with the bytes on disk counted: a later start resumes from there.
    EXPECT_EQ(Field(page, "flag"), std::to_string(kStatePaused));
    EXPECT_EQ(Field(page, "downloadedSize"), std::to_string(std::filesystem::file_size(data)));
    EXPECT_EQ(Field(page, "size"), "2000000");
}

}  // namespace
}  // namespace tarvane::test
