#pragma once

#include <string>

#include "tarvane/engine/task_book.h"
#include "tarvane/engine/worker_control.h"
#include "tarvane/engine/worker_table.h"

namespace tarvane {

// A worker's counters for the progress display of one transfer. Only the worker's thread uses it.
struct TransferProgress {
    double resumeBase = 0;       // bytes counted before this transfer began
    double totalSize = 0;        // size of the whole file; 0 or below when the server gave none
    std::string downloadedText;  // resumeBase plus the bytes of this transfer, "%.0f"
    double lastSampleBytes = 0;
    double lastSampleTime = 0;
    // What the task shows, so that an unchanged figure is not published again.
    std::string shownPercent;
    double shownSpeed = -1;
    int64_t shownSecondsLeft = -1;

    // Starts the counters of a new transfer at `nowMs`: the first speed sample then covers the
    // first half second of the transfer instead of the time since the clock's origin.
    void Begin(double resumeBaseBytes, double totalSizeBytes, double nowMs);
};

inline constexpr int kProgressContinue = 0;
inline constexpr int kProgressStop = -1;

// One progress report of the transfer library: `total` and `received` count from the resume offset.
// Keeps the downloaded count current, stops a transfer whose pause was requested or whose task has
// left the list, and publishes the task's count, speed and time left in the book.
int ReportProgress(TransferProgress& progress, double total, double received, double nowMs, const TaskTables& tables,
                   const WorkerControl& worker, TaskId id, TaskBook& book);

}  // namespace tarvane
