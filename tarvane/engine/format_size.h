#pragma once

#include <string>

namespace tarvane {

// Byte count as text with "B", "KB", "MB" or "GB"; each boundary stays in the smaller unit.
std::string FormatSize(double bytes);

}  // namespace tarvane
