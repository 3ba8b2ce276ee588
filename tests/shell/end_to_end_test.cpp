#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

// The real program, offscreen, on a program directory of its own: a link on its command line is
// resolved, downloaded and moved to completed.xml.
TEST(EndToEnd, CommandLineLinkIsDownloadedAndCompleted) {
    TempDir dir;
    TestSite site;
    std::string page = "http://game.quellora.localhost/game/42.htm";
    std::string bytes = MakeFileBytes(300000, 42);
    site.AddFile("/files/game42.zip", bytes, "application/zip");
    site.SetParseReply(page, site.Url("/files/game42.zip"), "game42");

    std::string program = dir.File("tarvane");
    std::filesystem::copy_file(TARVANE_BINARY, program);
    WriteFile(dir.File("updater"), "#!/bin/sh\n");
    std::filesystem::permissions(dir.File("updater"), std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir.File("saved"));
    std::filesystem::create_directories(dir.File("runtime"));
    std::filesystem::permissions(dir.File("runtime"), std::filesystem::perms::owner_all);
    WriteFile(dir.File("config.ini"), "[options]\ndefaultPath=" + dir.File("saved") + "\n");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    auto set = [&](const char* name, const std::string& value) {
        environment.insert(QString::fromLatin1(name), QString::fromStdString(value));
    };
    set("QT_QPA_PLATFORM", "offscreen");
    set("TARVANE_WEB_PANE", "0");
    set("XDG_RUNTIME_DIR", dir.File("runtime"));
    set("XDG_DATA_HOME", dir.File("data"));
    set("XDG_CONFIG_HOME", dir.File("config"));
    set("TARVANE_OFFICIAL_HOST", "127.0.0.1:" + std::to_string(site.port()));
    set("TARVANE_SITE_DOMAIN", "quellora.localhost");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QString::fromStdString(program), {QString::fromStdString(">" + page + "<")});
    ASSERT_TRUE(process.waitForStarted(10000));

    std::string completed = dir.File("completed.xml");
    bool done = SpinUntil(
        [&] {
            return std::filesystem::exists(completed) && ReadFile(completed).find(page) != std::string::npos &&
                   std::filesystem::exists(dir.File("saved/game42.zip"));
        },
        std::chrono::seconds(60));
    EXPECT_TRUE(done);
    if (done) {
        EXPECT_EQ(ReadFile(dir.File("saved/game42.zip")), bytes);
        EXPECT_EQ(ReadFile(dir.File("download.xml")).find(page), std::string::npos);
    }
    // Ended by the session: an orderly end.
    kill(static_cast<pid_t>(process.processId()), SIGTERM);
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(site.ParseRequestLinks(), std::vector<std::string>{page});
}

}  // namespace
}  // namespace tarvane::test
