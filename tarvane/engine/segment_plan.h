#pragma once

#include <cstdint>
#include <vector>

#include "tarvane/engine/segment_map.h"

namespace tarvane {

// Without a speed to go by, a segment is not halved below this.
inline constexpr int64_t kMinStealBytes = 1024 * 1024;
// A connection this many times slower than another is much slower: an idle one takes all it has left.
inline constexpr double kSlowFactor = 4;
// What a new request costs before its first byte, until the server has shown what it costs.
inline constexpr double kRequestSeconds = 0.1;
// One connection this fast is faster than most lines: a server that allows it limits nothing.
inline constexpr double kUnlimitedBytesPerSecond = 100.0 * 1024 * 1024;

// Work for connection `owner`: a segment nobody works on, else a piece of the segment whose connection
// would take longest to finish it, cut so that both end at about the same time (all it has left, from
// a connection much slower than `owner`). `rates` holds each connection's bytes per second lately by
// index (below 0: not known yet); without any, the second half of the segment with most left, while
// at least kMinStealBytes are left in it. A piece must save more than `requestSeconds`, what a request
// costs before its first byte. Answers the start of the segment it now owns, or -1 when nothing is
// worth taking.
int64_t TakeWork(SegmentMap& map, int owner, const std::vector<double>& rates = {},
                 double requestSeconds = kRequestSeconds);

// How many connections a task runs: one, then twice as many at each step whose connections all bring
// data, up to the cap that the setting and a speed limit allow. Connections are judged one by one
// elsewhere (a slow one is replaced, not a reason for fewer); only a server that turns connections
// away lowers the count, to those that work, until it is asked again (then one more at a time).
class ConnectionRamp {
public:
    explicit ConnectionRamp(int cap) : cap_(cap < 1 ? 1 : cap) {}

    int Target() const { return target_; }
    // Nothing more to try until its reason changes.
    bool Settled() const { return settled_; }
    // Held below its cap by a refusal.
    bool HeldByRefusal() const { return refused_; }
    // Every connection of the current count brought data; `bytesPerSecond` is their speed together.
    void StepServed(double bytesPerSecond);
    // A connection was turned away while `working` others ran.
    void Refused(int working);
    // A new cap (the setting under a new speed limit): the count comes down to it at once, or grows
    // toward it again.
    void SetCap(int cap);
    // The reason the ramp stopped may have gone (a refusal has cleared, a connection was replaced):
    // it tries more connections again.
    void Restart();

private:
    int cap_;
    int target_ = 1;
    bool settled_ = false;
    bool refused_ = false;
    bool everRefused_ = false;  // then it grows one connection at a time
};

}  // namespace tarvane
