#include "tests/download/engine_harness.h"

#include <thread>

namespace tarvane::test {

namespace {

// The program's retries in miniature: a stall of a second, waits of a few tenths.
RetrySettings ShortRetries() {
    using std::chrono::milliseconds;
    return {std::chrono::seconds(1),
            {milliseconds(50), milliseconds(100), milliseconds(150), milliseconds(200), milliseconds(250)}};
}

}  // namespace

EngineHarness::EngineHarness(const std::string& programDirectory, const std::string& officialHost)
    : directory(programDirectory),
      engine(EngineSetup{programDirectory, officialHost, "quellora.localhost", ShortRetries()}, list,
             EnginePorts{ports, ports, ports, ports}) {
    files.EnsureTaskFiles(programDirectory);
}

EngineHarness::~EngineHarness() {
    scheduler.Shutdown(std::chrono::seconds(5));
}

void EngineHarness::AddPage(const std::string& pageLink, const std::string& folder, DownloadTask task) {
    task.frmPge = task.fileLink = pageLink;
    task.path = folder;
    task.agent = kDefaultAgent;
    commands.AddTask({std::move(task), 1});
}

bool EngineHarness::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool EngineHarness::WaitIdle(std::chrono::milliseconds limit) {
    return WaitFor([this] { return scheduler.LiveWorkers() == 0; }, limit);
}

}  // namespace tarvane::test
