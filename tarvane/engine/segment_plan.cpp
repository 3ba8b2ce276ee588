#include "tarvane/engine/segment_plan.h"

#include <algorithm>

namespace tarvane {

namespace {
// Halves are cut at page boundaries, where the data file's compares work.
constexpr int64_t kAlign = 4096;
}  // namespace

int64_t TakeWork(SegmentMap& map, int owner) {
    Segment* free = nullptr;
    Segment* largest = nullptr;
    for (Segment& segment : map.segments) {
        if (segment.Done()) {
            continue;
        }
        if (segment.owner < 0 && (free == nullptr || segment.Left() > free->Left())) {
            free = &segment;
        }
        if (largest == nullptr || segment.Left() > largest->Left()) {
            largest = &segment;
        }
    }
    if (free != nullptr) {
        free->owner = owner;
        return free->start;
    }
    if (largest == nullptr || largest->Left() < kMinStealBytes) {
        return -1;
    }
    int64_t at = (largest->next + largest->Left() / 2) / kAlign * kAlign;
    if (at <= largest->next) {
        return -1;
    }
    Segment& taken = map.SplitAt(largest->start, at);
    taken.owner = owner;
    return taken.start;
}

void ConnectionRamp::StepMeasured(double bytesPerSecond) {
    if (settled_) {
        return;
    }
    if (target_ == 1 && bytesPerSecond >= kUnlimitedBytesPerSecond) {
        settled_ = true;  // no server limits a connection this fast: more would only load it
        return;
    }
    if (target_ > 1 && bytesPerSecond < lastSpeed_ * 1.25) {
        // The last step brought too little: the server or the line is the limit, not the connections.
        target_ = std::max(1, target_ / 2);
        settled_ = true;
        return;
    }
    lastSpeed_ = bytesPerSecond;
    if (target_ >= limit_) {
        settled_ = true;
        return;
    }
    target_ = std::min(limit_, target_ * 2);
}

void ConnectionRamp::Refused(int working) {
    target_ = std::max(1, std::min(target_, working));
    settled_ = true;
}

}  // namespace tarvane
