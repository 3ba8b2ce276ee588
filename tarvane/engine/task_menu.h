#pragma once

#include <string>
#include <vector>

namespace tarvane {

// Commands of the task list's right-click menu.
enum TaskMenuCommand : int {
    kCommandStart = 3000,
    kCommandPause = 3001,
    kCommandDelete = 3002,
    kCommandPlay = 3003,
    kCommandOpenFile = 3004,
    kCommandOpenFolder = 3005,
    kCommandCopyLink = 3006,
    kCommandBrowsePage = 3007,
    kCommandProperties = 3008,
};

struct TaskMenuItem {
    int command = 0;   // 0 for a separator
    std::string text;  // code page 936
    bool enabled = false;
};

// The menu for a task in state `state`, as the GUI draws it: items with their enabled state, in
// order, with separators. Any state but 1 to 4 gives an empty menu.
std::vector<TaskMenuItem> TaskMenuFor(int state);

}  // namespace tarvane
