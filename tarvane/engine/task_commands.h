#pragma once

#include <string>

#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/link_resolver.h"
#include "tarvane/engine/task_menu.h"
#include "tarvane/engine/transfer_scheduler.h"

namespace tarvane {

// The operations on tasks, by task id. Any thread; the message boxes are asked on the caller's.
class TaskCommands {
public:
    struct Ports {
        MessageBoxes& messages;
        Clipboard& clipboard;
        Desktop& desktop;
    };

    TaskCommands(EngineContext& context, TransferScheduler& scheduler, const LinkResolver& resolver, Ports ports,
                 std::string applicationTitle);

    // Lists the tasks of download.xml, in file order (the program's start).
    void ListStoredTasks();
    // Lists and stores a new task (resolve != 0), or restarts the task `request.id`; then starts it or
    // lets it wait. Answers the task's id; kNoTask when there was nothing to start.
    TaskId AddTask(const AddTaskRequest& request);
    // The worker's state for a task with a worker, else the stored flag; -1 when neither says anything.
    int GetTaskState(TaskId id) const;

    void StartTask(TaskId id);
    void PauseTask(TaskId id);
    // Asks first; removes the item, the task and its data file. Nothing when the task finished meanwhile.
    void DeleteTask(TaskId id);
    // The task's menu, or empty with the wait message shown when its state is not known yet.
    std::vector<TaskMenuItem> MenuFor(TaskId id);
    void OpenFolder(TaskId id);
    void CopyLink(TaskId id);
    void BrowseSourcePage(TaskId id);
    // Runs a command of the task menu on a task.
    void RunMenuCommand(int command, TaskId id);
    // The message boxes of "播放", "打开文件" and "属性".
    void ShowNotice(int command);
    // The task of the page, or kNoTask.
    TaskId FindTask(const std::string& page) const;
    // Whether the page is a listed task, or has changes not yet written to the task files.
    bool KnowsPage(const std::string& page) const;

private:
    EngineContext& context_;
    TransferScheduler& scheduler_;
    const LinkResolver& resolver_;
    Ports ports_;
    std::string applicationTitle_;
};

// The user-agent of tasks made from a command line or a hand-off.
inline constexpr const char* kDefaultAgent = "Mozilla/5.0 (Windows NT 5.1; rv:10.0.2) Gecko/20100101 Firefox/10.0.2";

}  // namespace tarvane
