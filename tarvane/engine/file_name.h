#pragma once

#include <string>
#include <string_view>

namespace tarvane {

// A name that can stand as one visible file name inside a folder: no "/" or "\", no control
// characters, no leading ".", not empty. Offending characters become "_", bytes that are no 936
// character "?".
std::string PlainFileName(std::string_view name);

// The last path segment of a URL without its extension (no query or fragment); empty when there is none.
std::string NameFromUrl(std::string_view url);

// "name.type" in `folder` (ending without "/"), joined as the data file path of a task.
std::string DataFilePath(const std::string& folder, const std::string& name, const std::string& type);

}  // namespace tarvane
