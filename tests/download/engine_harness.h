#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "tarvane/core/engine_assembly.h"
#include "tests/support/fakes.h"
#include "tests/support/memory_list_view.h"

namespace tarvane::test {

// Desktop ports that record what the engine asked for.
struct RecordingPorts : SoundPlayer, FakeMessages, FakeClipboard, FakeDesktop {
    void PlayCompletionSound() override { ++sounds; }
    std::atomic<int> sounds{0};
};

// The whole download engine on real task files in `programDirectory`, with an in-memory list and
// short retries. `officialHost` is where the parse service answers.
class EngineHarness {
public:
    EngineHarness(const std::string& programDirectory, const std::string& officialHost);
    ~EngineHarness();

    // A new task for a page link, as the new-task dialog hands it over with `task`'s name and proxy.
    void AddPage(const std::string& pageLink, const std::string& folder, DownloadTask task = {});
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
