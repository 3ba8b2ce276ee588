#include "tarvane/dialogs/task_count_text.h"

#include <cstdlib>

namespace tarvane {

std::string ClampTaskCountText(const std::string& text) {
    std::string result = text;
    if (std::strtoul(result.c_str(), nullptr, 10) > 20) {
        result = "20";
    }
    if (std::strtoul(result.c_str(), nullptr, 10) == 0) {
        result = "1";
    }
    return result;
}

}  // namespace tarvane
