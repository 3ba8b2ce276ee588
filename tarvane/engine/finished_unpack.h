#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "tarvane/engine/game_unpack.h"
#include "tarvane/engine/task_book.h"

namespace tarvane {

// Whether the archive is one part of a set in parts.
bool IsPartOfSet(const std::string& archivePath);

// The name of the archive's game folder: the task's, or for a set the name its parts share.
std::string GameNameFor(const std::string& archivePath, const std::string& taskName);

// The first part of the archive's set that a listed task (other than `except`) is still writing;
// empty when none is. Such a part is on disk, but not whole.
std::string PartStillDownloading(const TaskBook& book, const std::string& archivePath, TaskId except);

// After the archive's set was unpacked into `folder`: the finished entries of its other parts name
// the folder too (they no longer wait for a part), and with `deleteArchive` every part is removed.
// Only once the folder is in place and the entries that name it are in the book.
void AfterUnpacked(TaskBook& book, const std::string& archivePath, const std::string& folder, bool deleteArchive);

// Unpacks the archives of finished entries for the finished list; any thread but the window's.
class FinishedUnpack {
public:
    FinishedUnpack(TaskBook& book, std::string programDirectory)
        : book_(book), programDirectory_(std::move(programDirectory)) {}

    // The entry's game folder or failure is stored with it; a password that worked is forgotten.
    UnpackResult Unpack(const std::string& page, const std::string& password, const std::atomic<bool>& stop);

private:
    TaskBook& book_;
    std::string programDirectory_;
    std::mutex mutex_;
    // The password given for an entry's archive, until it opens it; never written anywhere.
    std::map<std::string, std::string> passwords_;
};

}  // namespace tarvane
