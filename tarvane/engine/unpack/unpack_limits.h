#pragma once

#include <cstdint>

namespace tarvane {

// What an archive may make of the disk; checked while its entries are read, since headers can lie.
struct UnpackLimits {
    // Left free on the disk after unpacking, for the system and the downloads under way.
    std::int64_t freeMargin = std::int64_t{256} << 20;
    std::int64_t mostEntries = 1'000'000;
    // Unpacked bytes past `ratioFloor` may be at most this many times the archive's size.
    std::int64_t mostRatio = 1000;
    std::int64_t ratioFloor = std::int64_t{100} << 20;
};

}  // namespace tarvane
