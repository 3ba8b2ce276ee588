#pragma once

#include <string>

#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// The folder that stands for an unset "defaultPath" (936 text). Unless "defaultPath" is set, the
// desktop folder is made when missing, or the download folder stands in; when neither can be made
// the user is told once, here, instead of every task failing without a word.
std::string ReadyDefaultFolder(const std::string& programDirectory, MessageBoxes& messages);

}  // namespace tarvane
