#include "tarvane/engine/task_fields.h"

#include <climits>
#include <cstdlib>

namespace tarvane {

int PortValue(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

namespace {

template <std::string DownloadTask::*Member>
TaskField Text(const char* name, FieldPlace place = FieldPlace::Always) {
    return {name, place, [](const DownloadTask& task) { return task.*Member; },
            [](DownloadTask& task, const std::string& value) { task.*Member = value; }};
}

}  // namespace

const std::array<TaskField, 18>& TaskFields() {
    static const std::array<TaskField, 18> fields = {
        Text<&DownloadTask::name>("name"),
        Text<&DownloadTask::frmPge>("frmPge"),
        Text<&DownloadTask::fileLink>("fileLink"),
        Text<&DownloadTask::path>("path"),
        Text<&DownloadTask::size>("size"),
        Text<&DownloadTask::downloadedSize>("downloadedSize"),
        Text<&DownloadTask::type>("type"),
        Text<&DownloadTask::prxIP>("prxIP"),
        TaskField{"prxPort", FieldPlace::Always, [](const DownloadTask& task) { return std::to_string(task.prxPort); },
                  [](DownloadTask& task, const std::string& value) { task.prxPort = PortValue(value); }},
        Text<&DownloadTask::prxName>("prxName"),
        Text<&DownloadTask::prxPwd>("prxPwd"),
        Text<&DownloadTask::flag>("flag"),
        Text<&DownloadTask::agent>("agent", FieldPlace::OnAdd),
        Text<&DownloadTask::etag>("etag", FieldPlace::Extra),
        Text<&DownloadTask::lastModified>("lastModified", FieldPlace::Extra),
        Text<&DownloadTask::error>("error", FieldPlace::Extra),
        Text<&DownloadTask::digest>("digest", FieldPlace::Extra),
        Text<&DownloadTask::gameFolder>("gameFolder", FieldPlace::Extra),
    };
    return fields;
}

}  // namespace tarvane
