#pragma once

#include <string>
#include <string_view>

namespace platform {

// The running executable's path in UTF-8; empty when it cannot be found.
std::string ExecutablePath();

// The folder of the running executable, ending in "/", as code page 936 text; empty when the
// executable cannot be found.
std::string ProgramDirectory();

// The folder part of an executable's UTF-8 path, up to and including its last "/", as 936 text.
std::string ProgramDirectoryOf(std::string_view utf8ExecutablePath);

}  // namespace platform
