#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tarvane/engine/engine.h"
#include "tarvane/engine/finished_unpack.h"
#include "tarvane/engine/host_budget.h"
#include "tarvane/store/task_file_writer.h"
#include "tarvane/store/task_files.h"

namespace tarvane {

// What the engine is made for: its program directory, the sites it asks, how it retries.
struct EngineSetup {
    std::string programDirectory;  // code page 936, ends in "/"
    std::string officialHost;      // the parse service's host[:port]
    std::string siteDomain;        // game pages lie under it
    RetrySettings retry;
};

// The ways the engine reaches the desktop.
struct EnginePorts {
    Clipboard& clipboard;
    Desktop& desktop;
    SoundPlayer& sound;
    TaskEnds* ends = nullptr;
};

// The download engine on the task files of the program directory: the one wiring of its parts, for
// the program, the tests and the benchmarks alike. The book is the truth of every task; the writer
// keeps the task files behind it.
class EngineAssembly : public Engine {
public:
    EngineAssembly(EngineSetup setup, EnginePorts ports);
    ~EngineAssembly() override;

    // Who hears what: set before LoadTasks. `unsaved` is called on the writer's thread when the task
    // files start to refuse changes; `setAside` on any thread when a task file damaged while the
    // program runs was set aside; `ends` on a worker's thread when a task finishes or fails for good.
    void Tell(std::function<void(const std::string& file)> unsaved, std::function<void(const SetAsideFile&)> setAside,
              TaskEnds* ends);
    // The program's start: tidies the task files, loads them into the book and starts their writer.
    // Answers the files that were damaged and set aside, for the user to be told.
    std::vector<SetAsideFile> LoadTasks();
    // Starts nothing more, pauses every worker and waits for them (serving the caller meanwhile),
    // then writes what is left to the task files. Answers whether everything is written.
    bool Shutdown(std::chrono::milliseconds limit, const std::function<void()>& serveInterface = {});
    // Waits until the task files hold every change made so far; false while they refuse it.
    bool Flush(std::chrono::milliseconds limit = std::chrono::seconds(10)) { return writer.Flush(limit); }

    // Engine
    TaskId AddTask(const AddTaskRequest& request) override { return commands.AddTask(request); }
    void StartTask(TaskId id) override { commands.StartTask(id); }
    void PauseTask(TaskId id) override { commands.PauseTask(id); }
    DeleteOutcome DeleteTask(TaskId id) override { return commands.DeleteTask(id); }
    std::vector<TaskMenuItem> MenuFor(TaskId id) const override { return commands.MenuFor(id); }
    bool RunMenuCommand(int command, TaskId id) override { return commands.RunMenuCommand(command, id); }
    TaskId FindTask(const std::string& page) const override { return commands.FindTask(page); }
    TaskBook& Tasks() override { return book; }
    PageLocation LocatePage(const std::string& page) const override { return book.LocatePage(page); }
    std::vector<CompletedItem> FinishedTasks() const override { return book.FinishedTasks(); }
    bool RemoveFinished(const std::string& page) override { return book.RemoveFinished(page); }
    UnpackResult UnpackFinished(const std::string& page, const std::string& password,
                                const std::atomic<bool>& stop) override {
        return unpacker.Unpack(page, password, stop);
    }
    void SetSpeedLimit(int64_t kilobytesPerSecond) override { limiter.SetLimit(kilobytesPerSecond); }
    int64_t SpeedLimit() const override { return limiter.Limit(); }
    void SetConnectionsPerHost(int connections) override { hostBudget.SetPerHost(connections); }
    bool AnyRunning() const override { return tables.AnyWorkerRunning(); }
    void PauseAll() override { tables.PauseAllWorkers(); }

    // The parts, for tests and benchmarks; the window goes through the interface above.
    std::string programDirectory;
    TaskFiles files;
    TaskBook book;
    TaskFileWriter writer;
    TaskTables tables;
    SystemClock clock;
    SpeedLimiter limiter;
    HostBudget hostBudget;
    LinkResolver resolver;
    EngineContext context;
    TransferScheduler scheduler;
    TaskCommands commands;
    FinishedUnpack unpacker;
};

}  // namespace tarvane
