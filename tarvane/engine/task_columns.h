#pragma once

#include <string>

#include "tarvane/engine/task_book.h"

namespace tarvane {

// The text of a task's cell in the task list (code page 936).
std::string TaskCellText(const TaskEntry& task, int column);
// The row image of a task.
TaskImage TaskImageOf(const TaskEntry& task);

}  // namespace tarvane
