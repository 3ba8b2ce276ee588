#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock (stands in for GetTickCount); never goes back when the
// wall clock is set.
std::uint64_t TickCountMs();

}  // namespace platform
