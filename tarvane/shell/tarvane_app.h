#pragma once

#include <string>

#include "platform/link_handoff.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// The program: one instance per user; a second start hands its command-line link (or a request to
// come forward) to the running one and ends. Answers the exit code.
int RunTarvane(int argc, char** argv);

// What a second instance does with its command line. A link too long for the record is not cut:
// the user is told (through `messages`) and nothing is sent; so is a link the running instance could
// not be reached with. Answers whether the running instance took the message.
bool HandOffToRunningInstance(const std::string& commandLine, const std::string& socketPath, MessageBoxes& messages,
                              platform::HandoffTiming timing = {});

}  // namespace tarvane
