#include "tarvane/engine/segment_plan.h"

#include <algorithm>
#include <limits>

namespace tarvane {

namespace {
// Pieces are cut at page boundaries, where the data file's compares work.
constexpr int64_t kAlign = 4096;
// Nor is a piece cut from a connection that keeps some unless it takes this many requests' time: each
// cut ends an answer early, and its owner's next answer costs a request again.
constexpr double kMinPieceRequests = 4;

int64_t AlignUp(int64_t at) {
    return (at + kAlign - 1) / kAlign * kAlign;
}

double Typical(const std::vector<double>& rates) {
    std::vector<double> known;
    std::copy_if(rates.begin(), rates.end(), std::back_inserter(known), [](double rate) { return rate >= 0; });
    if (known.empty()) {
        return -1;
    }
    std::nth_element(known.begin(), known.begin() + static_cast<std::ptrdiff_t>(known.size() / 2), known.end());
    return known[known.size() / 2];
}

}  // namespace

int64_t TakeWork(SegmentMap& map, int owner, const std::vector<double>& rates, double requestSeconds) {
    const double typical = Typical(rates);
    // A connection not measured yet is taken to be as fast as the others.
    auto rateOf = [&](int who) {
        double rate = who >= 0 && who < static_cast<int>(rates.size()) ? rates[static_cast<size_t>(who)] : -1;
        return rate >= 0 ? rate : typical;
    };
    // How long its owner needs for the rest of a segment; in bytes while no speed is known at all.
    auto timeLeft = [&](const Segment& segment) {
        double rate = rateOf(segment.owner);
        if (typical < 0) {
            return static_cast<double>(segment.Left());
        }
        return rate > 0 ? static_cast<double>(segment.Left()) / rate : std::numeric_limits<double>::infinity();
    };
    Segment* free = nullptr;
    Segment* longest = nullptr;
    for (Segment& segment : map.segments) {
        if (segment.Done()) {
            continue;
        }
        if (segment.owner < 0) {
            if (free == nullptr || segment.Left() > free->Left()) {
                free = &segment;
            }
        } else if (longest == nullptr || timeLeft(segment) > timeLeft(*longest)) {
            longest = &segment;
        }
    }
    if (free != nullptr) {
        free->owner = owner;
        return free->start;
    }
    if (longest == nullptr) {
        return -1;
    }
    const double left = static_cast<double>(longest->Left());
    int64_t keep = longest->Left() / 2;
    double mine = rateOf(owner);
    if (typical < 0) {
        if (longest->Left() < kMinStealBytes) {
            return -1;
        }
    } else {
        // Both end together when each takes a part in proportion to its speed.
        double theirs = rateOf(longest->owner);
        double alone = theirs > 0 ? left / theirs : std::numeric_limits<double>::infinity();
        double shared = theirs + mine > 0 ? left / (theirs + mine) : alone;
        if (alone - shared < requestSeconds) {
            return -1;
        }
        keep = theirs + mine > 0 ? static_cast<int64_t>(left * theirs / (theirs + mine)) : keep;
        if (theirs * kSlowFactor < mine) {
            keep = 0;  // it would bring even its last page later than the new connection: all goes
        }
    }
    // Cut at a page boundary, unless the owner gives up all it had left.
    int64_t at = keep == 0 && longest->next > longest->start
                     ? longest->next
                     : std::max(AlignUp(longest->next + keep), AlignUp(longest->next + 1));
    if (int64_t piece = longest->end - at;
        piece <= 0 || (at > longest->next && (typical < 0 ? piece < kMinStealBytes / 4
                                                          : !(mine > 0 && static_cast<double>(piece) / mine >=
                                                                              kMinPieceRequests * requestSeconds)))) {
        return -1;
    }
    Segment& taken = map.SplitAt(longest->start, at);
    taken.owner = owner;
    return taken.start;
}

void ConnectionRamp::StepServed(double bytesPerSecond) {
    if (settled_) {
        return;
    }
    if (target_ == 1 && bytesPerSecond >= kUnlimitedBytesPerSecond) {
        settled_ = true;  // no server limits a connection this fast: more would only load it
        return;
    }
    if (target_ >= cap_) {
        settled_ = true;
        return;
    }
    target_ = std::min(cap_, everRefused_ ? target_ + 1 : target_ * 2);
}

void ConnectionRamp::Refused(int working) {
    target_ = std::max(1, std::min(target_, working));
    settled_ = refused_ = everRefused_ = true;
}

void ConnectionRamp::SetCap(int cap) {
    cap_ = std::max(cap, 1);
    target_ = std::min(target_, cap_);
    settled_ = refused_ = false;
}

void ConnectionRamp::Restart() {
    settled_ = refused_ = false;
}

}  // namespace tarvane
