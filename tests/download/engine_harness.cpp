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

void EngineHarness::AddPage(const std::string& pageLink, const std::string& folder, const std::string& name,
                            const std::string& proxyHost, int proxyPort, const std::string& proxyUser,
                            const std::string& proxyPassword) {
    AddTaskRequest request;
    request.task.frmPge = pageLink;
    request.task.fileLink = pageLink;
    request.task.name = name;
    request.task.path = folder;
    request.task.prxIP = proxyHost;
    request.task.prxPort = proxyPort;
    request.task.prxName = proxyUser;
    request.task.prxPwd = proxyPassword;
    request.task.agent = kDefaultAgent;
    request.resolve = 1;
    commands.AddTask(request);
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
