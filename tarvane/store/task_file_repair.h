#pragma once

#include <string>
#include <vector>

#include "tarvane/store/task_files.h"

namespace tarvane {

// What start-up does before the list is loaded, so that no task is lost or doubled:
// - a task file that cannot be read (cut off, empty, wrong encoding) is renamed beside itself, never
//   destroyed, and a fresh one takes every item that still reads whole;
// - a task of download.xml that already stands in completed.xml with its file on disk is removed
//   (the program ended between the two writes of a completion);
// - a task recorded as completed ("4") because completed.xml could not take it is moved there;
// - both files are held from then on (TaskFiles::Hold), so that damage while the program runs loses
//   nothing either.
// Answers the files set aside, for the user to be told.
std::vector<SetAsideFile> RepairTaskFiles(TaskFiles& files, const std::string& programDirectory);

// The items of a damaged task file's bytes that parse whole on their own, as code page 936 text.
std::vector<std::string> SalvageItems(const std::string& bytes);

}  // namespace tarvane
