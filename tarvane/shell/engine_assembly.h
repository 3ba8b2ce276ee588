#pragma once

#include <string>

#include "tarvane/engine/task_commands.h"
#include "tarvane/shell/shell_ports.h"
#include "tarvane/store/task_file_store.h"

namespace tarvane {

// The download engine on the task files of the program directory, writing into `list`.
class EngineAssembly {
public:
    EngineAssembly(const std::string& programDirectory, TaskListView& list, ShellPorts ports);

    std::string programDirectory;
    TaskFiles files;
    TaskFileStore store;
    TaskTables tables;
    SystemClock clock;
    EngineContext context;
    LinkResolver resolver;
    TransferScheduler scheduler;
    TaskCommands commands;
};

}  // namespace tarvane
