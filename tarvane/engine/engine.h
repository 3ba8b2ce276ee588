#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tarvane/engine/game_unpack.h"
#include "tarvane/engine/task_book.h"
#include "tarvane/engine/task_commands.h"
#include "tarvane/engine/task_menu.h"

namespace tarvane {

// Unpacks finished archives on the caller's thread (never the window's).
class FinishedUnpacker {
public:
    virtual ~FinishedUnpacker() = default;
    // Unpacks the archive of the page's finished entry into its game folder. An empty `password`
    // stands for the one given last for the entry, kept in memory until it works. `stop` ends it
    // early, leaving nothing under the game's name.
    virtual UnpackResult UnpackFinished(const std::string& page, const std::string& password,
                                        const std::atomic<bool>& stop) = 0;
};

// The download engine as the window sees it: commands by task id, the tasks to follow, the settings
// that reach running transfers. It answers with outcomes; the texts and the questions are the window's.
class Engine : public TaskDirectory, public FinishedUnpacker {
public:
    virtual TaskId AddTask(const AddTaskRequest& request) = 0;
    virtual void StartTask(TaskId id) = 0;
    virtual void PauseTask(TaskId id) = 0;
    virtual DeleteOutcome DeleteTask(TaskId id) = 0;
    // Empty when the task is not listed.
    virtual std::vector<TaskMenuItem> MenuFor(TaskId id) const = 0;
    // False for a command that is not the engine's (delete, play, open, properties).
    virtual bool RunMenuCommand(int command, TaskId id) = 0;
    virtual TaskId FindTask(const std::string& page) const = 0;
    // The tasks, to follow by version.
    virtual TaskBook& Tasks() = 0;

    // KB/s for all transfers together; 0: none.
    virtual void SetSpeedLimit(int64_t kilobytesPerSecond) = 0;
    virtual int64_t SpeedLimit() const = 0;
    // Connections all tasks together may open to one host.
    virtual void SetConnectionsPerHost(int connections) = 0;
    virtual bool AnyRunning() const = 0;
    virtual void PauseAll() = 0;
};

}  // namespace tarvane
