#pragma once

#include <functional>
#include <string>

namespace tarvane {

// The hidden folder beside an archive's first part that its entries are unpacked into (UTF-8 paths).
std::string StagingFolderFor(const std::string& firstPart);

// Where a game folder being replaced waits while the new one is renamed in, when the file system
// cannot swap the two in one step.
std::string AsideFolderFor(const std::string& staging);

// The game's name as a folder name: no separators, never "." or "..", not empty.
std::string GameFolderName(const std::string& utf8Name, const std::string& archiveName);

// Renames the unpacked staging folder to `name` in `parent`, or to "NAME (2)"... when a folder of
// the name is there and `owns` says it is not this task's own (its own is replaced). Answers the
// folder's path, empty when it could not be put in place (errno set).
std::string PutGameFolderInPlace(const std::string& staging, const std::string& parent, const std::string& name,
                                 const std::function<bool(const std::string& utf8Folder)>& owns);

}  // namespace tarvane
