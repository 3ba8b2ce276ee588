#pragma once

#include <string>

#include "platform/link_handoff.h"
#include "tarvane/engine/engine.h"

namespace tarvane {

// Turns links from a hand-off record or from the command line into new tasks. Links of a kind the
// program does not take, and pages already listed or already downloaded, are dropped silently.
class LinkIntake {
public:
    LinkIntake(Engine& engine, std::string programDirectory)
        : engine_(engine), programDirectory_(std::move(programDirectory)) {}

    // True when the link went on to AddTask.
    bool OnCopyData(const platform::LinkHandoffRecord& record);
    bool AddTaskFromLink(const std::string& link);

private:
    bool Accepts(const std::string& link);
    AddTaskRequest RequestFor(const std::string& link) const;

    Engine& engine_;
    std::string programDirectory_;
};

}  // namespace tarvane
