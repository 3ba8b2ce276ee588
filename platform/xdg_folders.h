#pragma once

#include <string>
#include <string_view>

namespace platform {

// The user's home folder: $HOME, else the password database's entry; empty when neither names one.
std::string HomeFolder();

// An XDG base folder such as XDG_CONFIG_HOME: the variable when it holds an absolute path (relative
// values are to be ignored), else `inHome` ("/.config") under the home folder; empty without an absolute home.
std::string XdgFolder(const char* variable, std::string_view inHome);

}  // namespace platform
