#include "tarvane/engine/format_size.h"

#include <cstdio>

namespace tarvane {

std::string FormatSize(double bytes) {
    static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB"};
    double value = bytes;
    int unit = 0;
    while (unit < 3 && value > 1024) {
        value *= 0.0009765625;
        ++unit;
    }
    char text[512];  // room for the largest double in "%.2f"
    std::snprintf(text, sizeof text, "%.2f%s", value, kUnits[unit]);
    return text;
}

}  // namespace tarvane
