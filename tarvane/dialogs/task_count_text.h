#pragma once

#include <string>

namespace tarvane {

// The text of the options dialog's task-count field as it is stored: a value above 20 becomes
// "20", a value of 0 (also an empty or non-numeric text) becomes "1", anything else stays as typed.
// The value is read as an unsigned decimal number, so "-3" counts as very large.
std::string ClampTaskCountText(const std::string& text);

}  // namespace tarvane
