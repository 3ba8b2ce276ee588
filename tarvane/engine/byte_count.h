#pragma once

#include <cstdint>
#include <string_view>

namespace tarvane {

// A stored byte count: its leading decimal digits ("1e3" is 1), 0 for anything else, INT64_MAX at most.
int64_t ByteCount(std::string_view text);

}  // namespace tarvane
