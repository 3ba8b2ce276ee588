#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/settings_file.h"
#include "tarvane/dialogs/dialog_environment.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tarvane/engine/task_book.h"
#include "tests/support/temp_dir.h"

namespace tarvane::test {

// A program directory of its own with empty task files, and the fakes a dialog is handed.
class DialogTest : public TempDirTest {
protected:
    DialogTest() {
        environment_.programDirectory = temp_.Directory();
        environment_.applicationName = "tarvane";
        environment_.desktopFolder = "/home/user/" + AnsiLiteral("桌面");
    }

    std::string Config() const { return temp_.File("config.ini"); }
    platform::SettingsFile Settings() const { return platform::SettingsFile(Config()); }
    std::string Read(const char* section, const std::string& key) const {
        return Settings().ReadString(section, key, "<missing>", 3000);
    }
    // The five recent folders "p1" to "p5".
    std::vector<std::string> Recent() const {
        std::vector<std::string> folders;
        for (int i = 1; i <= 5; ++i) {
            folders.push_back(Read("lastPath", "p" + std::to_string(i)));
        }
        return folders;
    }
    void SetRecent(const std::vector<std::string>& folders) const {
        for (std::size_t i = 0; i < folders.size(); ++i) {
            Settings().WriteString("lastPath", "p" + std::to_string(i + 1), folders[i]);
        }
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const ShownMessage& message : messages_.shown) {
            texts.push_back(message.text);
        }
        return texts;
    }

    // Runs `act` while no file can grow beyond `bytes`, as on a nearly full disk (root ignores modes).
    static void WithFilesLimitedTo(rlim_t bytes, const std::function<void()>& act) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited{bytes, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
        act();
        setrlimit(RLIMIT_FSIZE, &saved);
    }

    DialogEnvironment environment_;
    TaskBook tasks_;
    FakeMessages messages_;
    FakeFolderPicker folders_;
};

// The control `id` of a dialog as a T.
template <typename T, typename Dialog>
T* Get(const Dialog& dialog, int id) {
    T* widget = qobject_cast<T*>(dialog.Control(id));
    EXPECT_NE(widget, nullptr) << id;
    return widget;
}

}  // namespace tarvane::test
