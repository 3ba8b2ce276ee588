#pragma once

#include <string>

namespace platform {

// An Exec argument of a desktop entry in double quotes, with the escapes desktop entries need.
std::string QuotedExecArgument(const std::string& argument);

}  // namespace platform
