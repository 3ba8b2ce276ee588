#pragma once

#include "platform/process_start.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// Everything the program reaches outside itself; tests put recording fakes here.
struct ShellPorts {
    MessageBoxes& messages;
    Clipboard& clipboard;
    Desktop& desktop;
    SoundPlayer& sound;
    platform::ProcessStarter& starter;
};

}  // namespace tarvane
