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

void WriteIfChanged(TaskListView& list, RowKey key, int column, std::string& shown, std::string text) {
    if (text == shown) {
        return;
    }
    list.SetTextOf(key, column, text);
    shown = std::move(text);
}

}  // namespace

void TransferProgress::Begin(double resumeBaseBytes, double totalSizeBytes, double nowMs) {
    resumeBase = resumeBaseBytes;
    totalSize = totalSizeBytes;
    downloadedText = Format("%.0f", resumeBase);
    lastSampleBytes = 0;
    lastSampleTime = nowMs;
    shownPercent.clear();
    shownSpeed.clear();
    shownTimeLeft.clear();
}

int ReportProgress(TransferProgress& progress, double total, double received, double nowMs, const TaskTables& tables,
                   const WorkerControl& worker, RowKey key, TaskListView& list) {
    double counted = received + progress.resumeBase;
    progress.downloadedText = Format("%.0f", counted);

    if (worker.pauseRequested.load() != 0) {
        return kProgressStop;
    }
    // The lookup finishes before any list write: the table's lock is never held while the
    // interface thread is waited for.
    if (!tables.WorkerListed(&worker)) {
        return kProgressStop;
    }

    if (nowMs - progress.lastSampleTime >= kSampleIntervalMs) {
        double kilobytes = (received - progress.lastSampleBytes) * kBytesToKilobytes;
        progress.lastSampleBytes = received;
        double elapsed = nowMs - progress.lastSampleTime;
        progress.lastSampleTime = nowMs;
        double speed = kilobytes / (elapsed * 0.001);
        WriteIfChanged(list, key, kColumnSpeed, progress.shownSpeed, Format("%.0fK/S", speed));
        // Without a known total there is nothing to count down; a transfer past its announced
        // total has nothing left.
        if (speed > 0 && total > 0) {
            double remaining = std::fmax(total - received, 0) / speed * 0.001;
            WriteIfChanged(list, key, kColumnTimeLeft, progress.shownTimeLeft, Format("%.0f", remaining));
        }
    }

    if (received != 0) {
        std::string percent;
        if (progress.totalSize > 0 && std::isfinite(progress.totalSize)) {
            percent = Format("%.2f%%", counted / progress.totalSize * 100);
        } else {
            // No size to divide by: show how much has arrived instead.
            percent = FormatSize(counted);
        }
        WriteIfChanged(list, key, kColumnPercent, progress.shownPercent, std::move(percent));
    }
    return kProgressContinue;
}

}  // namespace tarvane
