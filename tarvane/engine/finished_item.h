#pragma once

#include <ctime>

#include "tarvane/engine/task_record.h"

namespace tarvane {

// The completed.xml entry a finished task becomes, stamped `when` (local time).
CompletedItem FinishedItem(const DownloadTask& task, const std::tm& when);
// The local time now.
std::tm LocalTimeNow();

}  // namespace tarvane
