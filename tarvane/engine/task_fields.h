#pragma once

#include <array>
#include <string>

#include "tarvane/engine/task_record.h"

namespace tarvane {

// Where a field of download.xml is written: with the others at every save, only when the item is made
// (the agent), or at the end and only when it says something (a reader that does not know it passes
// over it).
enum class FieldPlace { Always, OnAdd, Extra };

// One attribute of a download.xml item and the member of DownloadTask it is.
struct TaskField {
    const char* name;
    FieldPlace place;
    std::string (*get)(const DownloadTask&);
    void (*set)(DownloadTask&, const std::string&);
};

// Every field of a stored task, in the order a new item is written: the one description that the
// task files read, write and copy by.
const std::array<TaskField, 18>& TaskFields();

// A stored port as a number; out-of-range values are held at the ends of int.
int PortValue(const std::string& text);

}  // namespace tarvane
