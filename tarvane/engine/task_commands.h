#pragma once

#include <string>

#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/link_resolver.h"
#include "tarvane/engine/task_menu.h"
#include "tarvane/engine/transfer_scheduler.h"

namespace tarvane {

// The main window's operations on tasks. Interface thread only; rows are list rows.
class TaskCommands {
public:
    struct Ports {
        MessageBoxes& messages;
        Clipboard& clipboard;
        Desktop& desktop;
    };

    TaskCommands(EngineContext& context, TransferScheduler& scheduler, const LinkResolver& resolver, Ports ports,
                 std::string applicationTitle);

    // Creates a task (resolve != 0) or restarts the one in `request.row`; starts it or lets it wait.
    void AddTask(const AddTaskRequest& request);
    // The worker's state for a row with a worker, else the stored flag; -1 when neither says anything.
    int GetTaskState(int row, const std::string& page) const;

    void StartTask(int row);
    void PauseTask(int row);
    // Asks first; removes item, row and data file.
    void DeleteTask(int row);
    // The menu for a row, or empty with the wait message shown when the state is not known yet.
    std::vector<TaskMenuItem> MenuForRow(int row);
    void OpenFolder(int row);
    void CopyLink(int row);
    void BrowseSourcePage(int row);
    // Runs a command of the task menu on a row.
    void RunMenuCommand(int command, int row);
    // The message boxes of "播放", "打开文件" and "属性".
    void ShowNotice(int command);
    // First row showing `page` in column 6, or -1.
    int FindTaskRow(const std::string& page) const;
    // Whether the page is a task in the list, or has changes not yet written to the task files.
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
