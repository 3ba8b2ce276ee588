#pragma once

#include <string>

#include "tarvane/engine/task_commands.h"
#include "tarvane/store/task_file_store.h"

namespace tarvane {

// What the engine is made for: its program directory, the sites it asks, how it retries.
struct EngineSetup {
    std::string programDirectory;  // code page 936, ends in "/"
    std::string officialHost;      // the parse service's host[:port]
    std::string siteDomain;        // game pages lie under it
    RetrySettings retry;
};

// The ways the engine reaches the user and the desktop.
struct EnginePorts {
    MessageBoxes& messages;
    Clipboard& clipboard;
    Desktop& desktop;
    SoundPlayer& sound;
    TaskEnds* ends = nullptr;
};

// The download engine on the task files of the program directory, keeping its tasks in `book`: the
// one wiring of its parts, for the program and for the tests alike.
class EngineAssembly {
public:
    EngineAssembly(EngineSetup setup, EnginePorts ports);

    std::string programDirectory;
    TaskFiles files;
    TaskFileStore store;
    TaskTables tables;
    TaskBook book;
    SystemClock clock;
    // Set from config.ini at the start; the window sets it again whenever the user changes it.
    SpeedLimiter limiter;
    LinkResolver resolver;
    EngineContext context;
    TransferScheduler scheduler;
    TaskCommands commands;
};

}  // namespace tarvane
