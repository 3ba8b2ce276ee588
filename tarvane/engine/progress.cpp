#include "tarvane/engine/progress.h"

#include <cmath>
#include <cstdio>

#include "tarvane/engine/format_size.h"

namespace tarvane {
namespace {

constexpr double kSampleIntervalMs = 500;
constexpr double kBytesToKilobytes = 0.0009765625;

std::string Format(const char* format, double value) {
    char text[400];  // room for the largest double in "%.2f"
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void TransferProgress::Begin(double resumeBaseBytes, double totalSizeBytes, double nowMs) {
    resumeBase = resumeBaseBytes;
    totalSize = totalSizeBytes;
    downloadedText = Format("%.0f", resumeBase);
    lastSampleBytes = 0;
    lastSampleTime = nowMs;
    shownPercent.clear();
    shownSpeed = -1;
    shownSecondsLeft = -1;
}

int ReportProgress(TransferProgress& progress, double total, double received, double nowMs, const TaskTables& tables,
                   const WorkerControl& worker, TaskId id, TaskBook& book) {
    double counted = received + progress.resumeBase;
    progress.downloadedText = Format("%.0f", counted);

    if (worker.pauseRequested.load() != 0 || !tables.WorkerListed(&worker)) {
        return kProgressStop;
    }

    bool changed = false;
    if (nowMs - progress.lastSampleTime >= kSampleIntervalMs) {
        double kilobytes = (received - progress.lastSampleBytes) * kBytesToKilobytes;
        progress.lastSampleBytes = received;
        double elapsed = nowMs - progress.lastSampleTime;
        progress.lastSampleTime = nowMs;
        double speed = std::nearbyint(kilobytes / (elapsed * 0.001));
        changed = speed != progress.shownSpeed;
        progress.shownSpeed = speed;
        // Without a known total there is nothing to count down; a transfer past its announced
        // total has nothing left.
        if (speed > 0 && total > 0) {
            auto left = static_cast<int64_t>(std::nearbyint(std::fmax(total - received, 0) / speed * 0.001));
            changed = changed || left != progress.shownSecondsLeft;
            progress.shownSecondsLeft = left;
        }
    }
    if (received != 0) {
        // The count is published as often as its percentage (or, without a size, its size) shows it.
        std::string percent = progress.totalSize > 0 && std::isfinite(progress.totalSize)
                                  ? Format("%.2f%%", counted / progress.totalSize * 100)
                                  : FormatSize(counted);
        changed = changed || percent != progress.shownPercent;
        progress.shownPercent = std::move(percent);
    }
    if (changed) {
        book.Update(id, [&](TaskEntry& task) {
            if (received != 0) {
                task.done = static_cast<int64_t>(counted);
                task.size = progress.totalSize > 0 && std::isfinite(progress.totalSize)
                                ? static_cast<int64_t>(progress.totalSize)
                                : 0;
                task.fresh = false;
            }
            if (progress.shownSpeed >= 0) {
                task.speedKBps = progress.shownSpeed;
            }
            if (progress.shownSecondsLeft >= 0) {
                task.secondsLeft = progress.shownSecondsLeft;
                task.note = TaskNote::None;
            }
        });
    }
    return kProgressContinue;
}

}  // namespace tarvane
