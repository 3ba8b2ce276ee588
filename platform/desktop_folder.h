#pragma once

#include <string>
#include <string_view>

namespace platform {

// The user's desktop folder as code page 936 text without a trailing "/": XDG_DESKTOP_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (~/.config when unset), else $HOME/Desktop. Nothing is created.
std::string DesktopFolder();

// The same for a given home folder and configuration folder (both UTF-8); the result is still 936.
std::string DesktopFolderFor(std::string_view home, std::string_view configHome);

enum class FolderState {
    Existing,     // the desktop folder was there
    Created,      // the desktop folder was missing and has been made
    FellBack,     // it could not be made: the XDG download folder (made when missing) stands in
    Unavailable,  // neither exists or can be made; the path is the desktop folder's
};

// The folder downloads go to when "defaultPath" is not set, made ready (936 text, no trailing "/").
struct DefaultFolder {
    std::string path;
    FolderState state = FolderState::Existing;
};
DefaultFolder EnsureDefaultFolder();
DefaultFolder EnsureDefaultFolderFor(std::string_view home, std::string_view configHome);

}  // namespace platform
