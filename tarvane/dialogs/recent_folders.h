#pragma once

#include <string>
#include <vector>

#include "platform/settings_file.h"

namespace tarvane {

// The five most recently used save folders of config.ini, newest first, compared byte for byte.

// The entries from "p1" on, up to the first empty one.
std::vector<std::string> ReadRecentFolders(const platform::SettingsFile& settings);

// A folder already listed changes places with the first entry; a new one goes to the top and
// pushes the others down, the fifth dropping out.
void UpdateRecentFolders(const platform::SettingsFile& settings, const std::string& chosen);

}  // namespace tarvane
