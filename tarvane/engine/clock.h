#pragma once

#include "platform/tick.h"

namespace tarvane {

// Where the engine reads the time from, so tests can set it by hand.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds of a monotonic clock; only differences between two readings mean anything.
    virtual double NowMs() const = 0;
};

class SystemClock : public Clock {
public:
    double NowMs() const override { return static_cast<double>(platform::TickCountMs()); }
};

}  // namespace tarvane
