#pragma once

#include <atomic>

#include "tarvane/engine/task_record.h"

namespace tarvane {

// What the worker table and the commands touch of a running worker from other threads.
// The transfer worker derives from it.
struct WorkerControl {
    // Set to 1 by the interface thread; the transfer stops at its next progress call.
    std::atomic<int> pauseRequested{0};
    // Task state number: preparing while probing, then downloading, then the outcome.
    std::atomic<int> state{kStatePreparing};
};

}  // namespace tarvane
