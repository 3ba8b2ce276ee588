#include "tarvane/engine/byte_count.h"

namespace tarvane {

int64_t ByteCount(std::string_view text) {
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        if (value > (INT64_MAX - (c - '0')) / 10) {
            return INT64_MAX;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace tarvane
