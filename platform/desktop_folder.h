#pragma once

#include <string>
#include <string_view>

namespace platform {

// The user's desktop folder as code page 936 text without a trailing "/": XDG_DESKTOP_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (~/.config when unset), else $HOME/Desktop. Nothing is created.
std::string DesktopFolder();

// The same for a given home folder and configuration folder (both UTF-8); the result is still 936.
std::string DesktopFolderFor(std::string_view home, std::string_view configHome);

}  // namespace platform
