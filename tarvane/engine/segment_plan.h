#pragma once

#include <cstdint>

#include "tarvane/engine/segment_map.h"

namespace tarvane {

// A connection is not opened for less than this, nor is a segment halved below it.
inline constexpr int64_t kMinStealBytes = 1024 * 1024;
// One connection this fast is faster than most lines: a server that allows it limits nothing.
inline constexpr double kUnlimitedBytesPerSecond = 100.0 * 1024 * 1024;

// Work for connection `owner`: a segment nobody works on, else the second half of the segment with
// most left (while at least kMinStealBytes are left in it). Answers the start of the segment it now
// owns, or -1 when there is nothing to take.
int64_t TakeWork(SegmentMap& map, int owner);

// How many connections a task runs: one, then twice as many at each step while the step raised the
// total speed by a quarter or more, up to the limit; a step that did not goes back to the last count.
// A server that turns connections away caps the count at those that work.
class ConnectionRamp {
public:
    explicit ConnectionRamp(int limit) : limit_(limit < 1 ? 1 : limit) {}

    int Target() const { return target_; }
    bool Settled() const { return settled_; }
    // The speed of the current count, once it has run for a while.
    void StepMeasured(double bytesPerSecond);
    // A connection was turned away while `working` others ran.
    void Refused(int working);

private:
    int limit_;
    int target_ = 1;
    bool settled_ = false;
    double lastSpeed_ = 0;
};

}  // namespace tarvane
