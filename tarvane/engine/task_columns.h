#pragma once

#include <string>

#include "tarvane/engine/task_book.h"

namespace tarvane {

// The text of a task's cell in the task list (code page 936).
std::string TaskCellText(const TaskEntry& task, int column);
// The row image of a task.
TaskImage TaskImageOf(const TaskEntry& task);
// What the row says when the pointer rests on it: why it failed, or how it is being fetched.
std::string TaskTipText(const TaskEntry& task);

}  // namespace tarvane
