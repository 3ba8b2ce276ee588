#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tarvane/shell/main_dialog.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"

namespace tarvane::test {

// Every way out of the program, recorded; message boxes answer `answer`.
struct FakeShell : MessageBoxes, Clipboard, Desktop, SoundPlayer, platform::ProcessStarter {
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons) override;
    bool PutText(const std::string& text) override {
        clipboard = text;
        return true;
    }
    void ShowFileInFolder(const std::string& file) override { desktop.push_back("select:" + file); }
    void OpenFolder(const std::string& folder) override { desktop.push_back("folder:" + folder); }
    void OpenWebPage(const std::string& url) override { desktop.push_back("web:" + url); }
    void PlayCompletionSound() override {}
    bool Start(const std::string& program, const std::vector<std::string>& arguments) override;

    ShellPorts Ports() { return ShellPorts{*this, *this, *this, *this, *this}; }

    MessageAnswer answer = MessageAnswer::Ok;
    std::function<void()> onMessage;
    std::vector<std::string> messages;  // caption + ": " + text, UTF-8
    std::vector<std::pair<std::string, std::vector<std::string>>> started;
    std::vector<std::string> desktop;
    std::string clipboard;
};

// A program directory with a stand-in updater, a local site whose parse service the dialog asks,
// and a main window on them.
class ShellTest : public TempDirTest {
protected:
    ShellTest();
    ~ShellTest() override;

    std::unique_ptr<MainDialog> MakeDialog(const std::string& commandLine = "");
    // A game page whose parse reply names a file that stalls after its first bytes, so its task
    // keeps running until paused.
    std::string StallingPage(int number);
    std::string Page(int number) const;
    void WriteConfig(const std::string& text);
    // A paused task on Page(number) with the file link /NAME.bin in the program directory's task file.
    void StoreTask(int number, const std::string& name);

    TestSite site_;
    FakeShell shell_;
    // Autostart entries go to a folder of the test, never to the user's.
    std::unique_ptr<XdgAutostart> autostart_;
    std::string directory_;
    // The window's D-Bus: none, unless a test gives it a bus of its own.
    QDBusConnection bus_{QStringLiteral("no bus")};
};

}  // namespace tarvane::test
