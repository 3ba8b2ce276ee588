#include "tests/shell/shell_fixture.h"

#include "tarvane/shell/resources/artwork.h"

#include <cstdlib>
#include <filesystem>

#include "platform/codepage.h"
#include "tarvane/store/task_files.h"

namespace tarvane::test {

MessageAnswer FakeShell::Show(const std::string& text, const std::string& caption, MessageButtons) {
    messages.push_back(platform::Utf8FromAnsi(caption) + ": " + platform::Utf8FromAnsi(text));
    if (onMessage) {
        onMessage();
    }
    return answer;
}

bool FakeShell::Start(const std::string& program, const std::vector<std::string>& arguments) {
    started.emplace_back(program, arguments);
    return true;
}

ShellTest::ShellTest() : directory_(temp_.Directory()) {
    artwork::InitArtwork();
    WriteFile(temp_.File("updater"), "#!/bin/sh\n");
    std::filesystem::create_directory(temp_.File("saved"));
    WriteConfig("[options]\ndefaultPath=" + temp_.File("saved") + "\n");
}

ShellTest::~ShellTest() = default;

std::unique_ptr<MainDialog> ShellTest::MakeDialog(const std::string& commandLine) {
    MainDialogSetup setup;
    setup.programDirectory = directory_;
    setup.executablePath = temp_.File("tarvane");
    setup.commandLine = commandLine;
    setup.schemeFolders = {temp_.File("data/applications"), temp_.File("config/mimeapps.list")};
    setup.webPane = false;
    setup.trayAvailable = [] { return true; };
    setup.hosts = {"127.0.0.1:" + std::to_string(site_.port()), "game.quellora.localhost:8717", "",
                   "quellora.localhost"};
    autostart_ = std::make_unique<XdgAutostart>(temp_.File("autostart"), temp_.File("tarvane"));
    setup.autostart = autostart_.get();
    setup.systemBus = setup.sessionBus = bus_;
    return std::make_unique<MainDialog>(setup, shell_.Ports());
}

std::string ShellTest::Page(int number) const {
    return "http://game.quellora.localhost/game/" + std::to_string(number) + ".htm";
}

std::string ShellTest::StallingPage(int number) {
    std::string file = "/files/stall" + std::to_string(number) + ".bin";
    site_.AddStallingFile(file, MakeFileBytes(200000, static_cast<unsigned>(number)), 1000);
    site_.SetParseReply(Page(number), site_.Url(file), "stall" + std::to_string(number));
    return Page(number);
}

void ShellTest::StoreTask(int number, const std::string& name) {
    DownloadTask task;
    task.frmPge = Page(number);
    task.name = name;
    task.fileLink = site_.Url("/" + name + ".bin");
    task.flag = "2";
    TaskFiles files;
    ASSERT_TRUE(files.EnsureTaskFiles(directory_));
    ASSERT_TRUE(files.AddItem(directory_ + kDownloadFileName, task, false));
}

void ShellTest::WriteConfig(const std::string& text) {
    WriteFile(temp_.File("config.ini"), text);
}

}  // namespace tarvane::test
