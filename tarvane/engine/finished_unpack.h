#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "tarvane/engine/game_unpack.h"
#include "tarvane/engine/task_book.h"
#include "tarvane/engine/worker_table.h"

namespace tarvane {

// Whether the archive is one part of a set in parts.
bool IsPartOfSet(const std::string& archivePath);

// The name of the archive's game folder: the task's, or for a set the name its parts share.
std::string GameNameFor(const std::string& archivePath, const std::string& taskName);

// Whether a part of a set is not whole yet: a running worker other than `except` writes it (its
// task's name may not have reached the book yet), or a listed task other than `exceptTask` holds it
// unfinished. Such a part counts as missing for the unpack.
bool PartBeingWritten(const TaskBook& book, const TaskTables& tables, const std::string& part, TaskId exceptTask,
                      const WorkerControl* except);

// After a set was unpacked from `parts` into `folder`: the finished entries of its other parts name
// the folder too (they no longer wait for a part), and with `deleteArchive` those parts are removed,
// and no other file. Only once the folder is in place and the entries that name it are in the book.
void AfterUnpacked(TaskBook& book, const std::vector<std::string>& parts, const std::string& folder,
                   bool deleteArchive);

// Unpacks the archives of finished entries for the finished list; any thread but the window's.
class FinishedUnpack {
public:
    FinishedUnpack(TaskBook& book, const TaskTables& tables, std::string programDirectory)
        : book_(book), tables_(tables), programDirectory_(std::move(programDirectory)) {}

    // The entry's game folder or failure is stored with it; a password that worked is forgotten.
    UnpackResult Unpack(const std::string& page, const std::string& password, const std::atomic<bool>& stop);

private:
    TaskBook& book_;
    const TaskTables& tables_;
    std::string programDirectory_;
    std::mutex mutex_;
    // The password given for an entry's archive, until it opens it; never written anywhere.
    std::map<std::string, std::string> passwords_;
};

}  // namespace tarvane
