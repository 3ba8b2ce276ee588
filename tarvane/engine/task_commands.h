#pragma once

#include <string>
#include <vector>

#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/link_resolver.h"
#include "tarvane/engine/task_menu.h"
#include "tarvane/engine/transfer_scheduler.h"

namespace tarvane {

// How a delete went.
enum class DeleteOutcome {
    Deleted,    // the task, its item and its data file are gone
    Gone,       // the task was not listed (any more)
    Finishing,  // its worker is finishing it: it goes to the finished list with its file
};

// The operations on tasks, by task id, on the engine's book. Any thread; nothing here asks the user:
// the window asks and chooses the texts.
class TaskCommands {
public:
    struct Ports {
        Clipboard& clipboard;
        Desktop& desktop;
    };

    TaskCommands(EngineContext& context, TransferScheduler& scheduler, const LinkResolver& resolver, Ports ports);

    // Lists a new task (resolve != 0), or restarts the task `request.id`; then starts it or lets it
    // wait. Answers the task's id; kNoTask when there was nothing to start.
    TaskId AddTask(const AddTaskRequest& request);
    // The worker's state for a task with a worker, else the task's; -1 when the task is not listed.
    int GetTaskState(TaskId id) const;

    void StartTask(TaskId id);
    void PauseTask(TaskId id);
    // Removes the task, its item and its data file.
    DeleteOutcome DeleteTask(TaskId id);
    // The task's menu; empty when the task is not listed.
    std::vector<TaskMenuItem> MenuFor(TaskId id) const;
    void OpenFolder(TaskId id);
    void CopyLink(TaskId id);
    void BrowseSourcePage(TaskId id);
    // Runs a command of the task menu that needs no answer from the user: start, pause, open the
    // folder, copy the link, browse the page. False for any other command.
    bool RunMenuCommand(int command, TaskId id);
    // The task of the page, or kNoTask.
    TaskId FindTask(const std::string& page) const;
    // Whether the page is a listed task, a finished download, or new.
    PageLocation LocatePage(const std::string& page) const;

private:
    EngineContext& context_;
    TransferScheduler& scheduler_;
    const LinkResolver& resolver_;
    Ports ports_;
};

// The user-agent of tasks made from a command line or a hand-off.
inline constexpr const char* kDefaultAgent = "Mozilla/5.0 (Windows NT 5.1; rv:10.0.2) Gecko/20100101 Firefox/10.0.2";

}  // namespace tarvane
