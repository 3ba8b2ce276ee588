#pragma once

#include <string>

namespace tarvane {

// What every dialog needs to know about the running program. All texts are code page 936.
struct DialogEnvironment {
    std::string programDirectory;  // ends in "/"; config.ini and the task files live here
    std::string applicationName;   // the caption of the dialogs' message boxes
    std::string desktopFolder;     // the default of "defaultPath"
};

}  // namespace tarvane
