#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvane {

// Splits an entry's name (UTF-8) into the folder names and file name it makes under the unpack
// folder. False when the name could reach outside it: absolute, a drive, a ".." component or a NUL,
// and for a name deeper or longer than any game's.
// "." and empty components are dropped, so a safe name may leave no component at all. A backslash
// separates too, as archives made on Windows mean it.
bool SplitEntryPath(std::string_view name, std::vector<std::string>& components);

}  // namespace tarvane
