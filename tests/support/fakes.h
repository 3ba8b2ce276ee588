#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/process_start.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane::test {

struct StartedProgram {
    std::string program;
    std::vector<std::string> arguments;
};

// Records every start and answers `result`; safe to call from any thread.
class RecordingStarter : public platform::ProcessStarter {
public:
    bool Start(const std::string& program, const std::vector<std::string>& arguments) override {
        {
            std::lock_guard lock(mutex_);
            started_.push_back({program, arguments});
        }
        if (onStart) {
            onStart();
        }
        return result;
    }
    std::vector<StartedProgram> Started() const {
        std::lock_guard lock(mutex_);
        return started_;
    }
    std::vector<std::string> Programs() const {
        std::vector<std::string> programs;
        for (const StartedProgram& started : Started()) {
            programs.push_back(started.program);
        }
        return programs;
    }

    bool result = true;
    std::function<void()> onStart;

private:
    mutable std::mutex mutex_;
    std::vector<StartedProgram> started_;
};

struct ShownMessage {
    std::string text;
    std::string caption;
    bool warning = false;
};

// Records every message and answers `answer`; safe to call from any thread.
class FakeMessages : public MessageBoxes {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons) override {
        {
            std::lock_guard lock(mutex_);
            shown.push_back({text, caption});
        }
        // What happens while a real box waits for the user in its own event loop.
        if (whileShown) {
            whileShown();
        }
        return answer;
    }
    MessageAnswer Warn(const std::string& text, const std::string& caption) override {
        MessageAnswer given = Show(text, caption, MessageButtons::Ok);
        std::lock_guard lock(mutex_);
        shown.back().warning = true;
        return given;
    }
    std::vector<ShownMessage> shown;
    MessageAnswer answer = MessageAnswer::Ok;
    std::function<void()> whileShown;

private:
    std::mutex mutex_;
};

class FakeDesktop : public Desktop {
public:
    void ShowFileInFolder(const std::string& file) override { shownFiles.push_back(file); }
    void OpenFolder(const std::string& folder) override { openedFolders.push_back(folder); }
    void OpenWebPage(const std::string& url) override { webPages.push_back(url); }
    std::vector<std::string> shownFiles;
    std::vector<std::string> openedFolders;
    std::vector<std::string> webPages;
};

class FakeClipboard : public Clipboard {
public:
    bool PutText(const std::string& text) override {
        texts.push_back(text);
        return true;
    }
    std::vector<std::string> texts;
};

}  // namespace tarvane::test
