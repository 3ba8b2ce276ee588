#pragma once

#include <chrono>
#include <cstdint>

namespace bench {

using SteadyClock = std::chrono::steady_clock;

inline double Since(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

inline double MiBps(uint64_t bytes, double seconds) {
    return static_cast<double>(bytes) / 1048576.0 / seconds;
}

}  // namespace bench
