#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tarvane/core/engine_assembly.h"
#include "tests/support/memory_list_view.h"

namespace tarvane::test {

// Desktop ports that record what the engine asked for.
struct RecordingPorts : SoundPlayer, MessageBoxes, Clipboard, Desktop {
    void PlayCompletionSound() override { ++sounds; }
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons) override {
        {
            std::lock_guard lock(mutex);
            messages.push_back(caption + ": " + text);
        }
        // What happens while a real box waits for the user in its own event loop.
        if (whileShown) {
            whileShown();
        }
        return answer;
    }
    bool PutText(const std::string& text) override {
        std::lock_guard lock(mutex);
        clipboard = text;
        return true;
    }
    void ShowFileInFolder(const std::string& file) override {
        std::lock_guard lock(mutex);
        desktop.push_back("select:" + file);
    }
    void OpenFolder(const std::string& folder) override {
        std::lock_guard lock(mutex);
        desktop.push_back("folder:" + folder);
    }
    void OpenWebPage(const std::string& url) override {
        std::lock_guard lock(mutex);
        desktop.push_back("web:" + url);
    }

    std::atomic<int> sounds{0};
    MessageAnswer answer = MessageAnswer::Ok;
    std::function<void()> whileShown;
    std::mutex mutex;
    std::vector<std::string> messages;
    std::string clipboard;
    std::vector<std::string> desktop;
};

// The whole download engine on real task files in `programDirectory`, with an in-memory list and
// short retries. `officialHost` is where the parse service answers.
class EngineHarness {
public:
    EngineHarness(const std::string& programDirectory, const std::string& officialHost);
    ~EngineHarness();

    // A new task for a page link, as the new-task dialog hands it over.
    void AddPage(const std::string& pageLink, const std::string& folder, const std::string& name = "",
                 const std::string& proxyHost = "", int proxyPort = 0, const std::string& proxyUser = "",
                 const std::string& proxyPassword = "");
    // Polls until `done` or the time is up; answers `done()`.
    static bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::seconds(30));

    std::string DownloadFile() const { return directory + kDownloadFileName; }
    std::string CompletedFile() const { return directory + kCompletedFileName; }

    std::string directory;
    RecordingPorts ports;
    MemoryListView list;
    EngineAssembly engine;
    TaskFiles& files = engine.files;
    TaskFileStore& store = engine.store;
    TaskTables& tables = engine.tables;
    EngineContext& context = engine.context;
    TransferScheduler& scheduler = engine.scheduler;
    TaskCommands& commands = engine.commands;
};

}  // namespace tarvane::test
