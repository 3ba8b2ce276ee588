#include "tarvane/engine/task_columns.h"

#include <cstdio>

#include "platform/codepage.h"
#include "tarvane/engine/failure_reason.h"
#include "tarvane/engine/format_size.h"

namespace tarvane {

namespace {

std::string Format(const char* format, double value) {
    char text[400];  // room for the largest double in "%.2f"
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string PercentText(const TaskEntry& task) {
    if (task.fresh) {
        return "0%";
    }
    if (task.note == TaskNote::Checking || task.note == TaskNote::Unpacking) {
        return Format("%.2f%%", task.checkedPercent);
    }
    // Without a known size the quotient means nothing: the received bytes are shown instead.
    if (task.size <= 0) {
        return FormatSize(static_cast<double>(task.done));
    }
    return Format("%.2f%%", static_cast<double>(task.done) / static_cast<double>(task.size) * 100);
}

std::string TimeLeftText(const TaskEntry& task) {
    switch (task.note) {
        case TaskNote::LookingUp:
            return ReasonLookingUp();
        case TaskNote::Retrying:
            return platform::AnsiFromUtf8("重试 ") + std::to_string(task.retry) + "/" + std::to_string(task.retries);
        case TaskNote::Starting:
            return "00:00:00";
        case TaskNote::Checking:
            return ReasonChecking();
        case TaskNote::Unpacking:
            return ReasonUnpacking();
        case TaskNote::None:
            break;
    }
    return task.secondsLeft < 0 ? "" : std::to_string(task.secondsLeft);
}

}  // namespace

std::string TaskCellText(const TaskEntry& task, int column) {
    switch (column) {
        case kColumnName:
            return task.nameShowsType ? task.name + "." + task.type : task.name;
        case kColumnSize:
            return task.fresh && task.size == 0 ? "0B" : FormatSize(static_cast<double>(task.size));
        case kColumnPercent:
            return PercentText(task);
        case kColumnSpeed:
            return task.speedKBps < 0 ? "" : Format("%.0fK/S", task.speedKBps);
        case kColumnTimeLeft:
            return TimeLeftText(task);
        case kColumnPage:
            return task.page;
        case kColumnType:
            return task.type;
        case kColumnLink:
            return task.fileLink;
        default:
            return "";
    }
}

TaskImage TaskImageOf(const TaskEntry& task) {
    if (task.running) {
        return kImageDownloading;
    }
    return task.state == kStateFailed ? kImageFailed : kImageIdle;
}

std::string TaskTipText(const TaskEntry& task) {
    return !task.failure.empty() ? task.failure : task.running ? task.connections : "";
}

}  // namespace tarvane
