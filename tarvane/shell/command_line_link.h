#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvane {

// The link a command line carries between its first ">" and its last "<", without the blanks just
// inside the markers. The line must be longer than 10 characters and the markers more than 7 apart.
std::optional<std::string> ExtractCommandLineLink(std::string_view commandLine);

// The argument text after the program name, as one line: the arguments joined by blanks.
std::string CommandLineText(int argc, const char* const* argv);

// Links the program takes: http, https and ftp addresses (the kinds the URL splitter knows).
bool IsSupportedLink(const std::string& link);

}  // namespace tarvane
