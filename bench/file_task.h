#pragma once

#include <string>

#include "tarvane/engine/task_commands.h"

namespace bench {

// A task for a link that is the file itself (nothing to ask the parse service), as the benchmarks add it.
inline tarvane::AddTaskRequest FileTask(const std::string& page, const std::string& link, const std::string& name,
                                        const std::string& folder) {
    tarvane::AddTaskRequest request;
    request.task.frmPge = page;
    request.task.fileLink = link;
    request.task.name = name;
    request.task.path = folder;
    request.resolve = 1;
    return request;
}

}  // namespace bench
