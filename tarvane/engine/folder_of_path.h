#pragma once

#include <string>
#include <string_view>

namespace tarvane {

// The path up to and including its last "/" or "\"; empty when it has neither. The path is code
// page 936: the second byte of a double-byte character is never taken for a separator.
std::string FolderOfPath(std::string_view path);

}  // namespace tarvane
