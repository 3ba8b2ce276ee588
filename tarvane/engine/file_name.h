#pragma once

#include <string>
#include <string_view>

namespace tarvane {

// A name that can stand as one file name inside a folder: no "/" or "\", no control characters,
// not "." or "..", not empty. Offending characters become "_".
std::string PlainFileName(std::string_view name);

// "name.type" in `folder` (ending without "/"), joined as the data file path of a task.
std::string DataFilePath(const std::string& folder, const std::string& name, const std::string& type);

}  // namespace tarvane
