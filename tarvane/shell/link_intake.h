#pragma once

#include <string>

#include "platform/link_handoff.h"
#include "tarvane/engine/task_commands.h"
#include "tarvane/store/task_files.h"

namespace tarvane {

// Turns links from a hand-off record or from the command line into new tasks. Links of a kind the
// program does not take, and pages already listed or already downloaded, are dropped silently.
class LinkIntake {
public:
    LinkIntake(TaskFiles& files, TaskCommands& commands, std::string programDirectory)
        : files_(files), commands_(commands), programDirectory_(std::move(programDirectory)) {}

    // True when the link went on to AddTask.
    bool OnCopyData(const platform::LinkHandoffRecord& record);
    bool AddTaskFromLink(const std::string& link);

private:
    bool Accepts(const std::string& link);
    AddTaskRequest RequestFor(const std::string& link) const;

    TaskFiles& files_;
    TaskCommands& commands_;
    std::string programDirectory_;
};

}  // namespace tarvane
