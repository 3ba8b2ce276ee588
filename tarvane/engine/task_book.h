#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tarvane/engine/task_record.h"

namespace tarvane {

// What the time-left column says when it does not count down seconds.
enum class TaskNote {
    None,
    Starting,   // a task just added, before its first bytes: "00:00:00"
    LookingUp,  // the parse service has not named the file yet
    Retrying,   // waiting before attempt `retry` of `retries`
    Checking,   // the finished file is read through; `checkedPercent` of it so far
};

// One task as the engine keeps it: the stored task's key and the figures of its transfer.
struct TaskEntry {
    TaskId id = kNoTask;
    std::string page;  // the key of the task in the task files
    std::string name;  // file name without extension
    std::string type;  // extension of the data file; empty until known
    bool nameShowsType = false;
    std::string fileLink;
    int64_t size = 0;  // bytes of the whole file; 0 when not known
    int64_t done = 0;  // bytes counted as downloaded
    TaskState state = kStateNone;
    bool running = false;   // a worker has it
    double speedKBps = -1;  // below 0: none shown
    int64_t secondsLeft = -1;
    bool fresh = false;  // added in this run and nothing received yet
    TaskNote note = TaskNote::None;
    int retry = 0;
    int retries = 0;
    double checkedPercent = 0;
    std::string failure;      // why the task failed; shown when the pointer rests on it
    std::string connections;  // while it runs: over how many connections, and why only one
    uint64_t version = 0;     // of the book's last change to it
};

// The entry a stored task is listed with at the program's start.
TaskEntry EntryFromStored(const DownloadTask& task);

// The tasks of the program, in list order (the order they were listed in), behind one lock: the
// interface thread, the intake and every worker read and change them. Views follow the changes by
// version; none is waited for.
class TaskBook {
public:
    // Lists a task at the end; answers its new id.
    TaskId Add(TaskEntry entry);
    // Lists tasks at the end, in their order, as one change (the program's start: thousands at once).
    void AddAll(std::vector<TaskEntry> entries);
    // False when the task is not listed (any more).
    bool Remove(TaskId id);
    // Changes the task under the lock; false when it is not listed. `change` must not call out.
    bool Update(TaskId id, const std::function<void(TaskEntry&)>& change);
    std::optional<TaskEntry> Get(TaskId id) const;
    // The first task of the page, or kNoTask.
    TaskId FindPage(const std::string& page) const;
    std::vector<TaskId> Ids() const;
    std::size_t Count() const;

    // What changed after `version`: the tasks listed or changed since (copies, in list order) and
    // the ids that left the list since. For one follower: removals it has asked past are forgotten.
    struct Changes {
        uint64_t version = 0;
        std::vector<TaskEntry> changed;
        std::vector<TaskId> removed;
    };
    Changes ChangesSince(uint64_t version) const;

    // Called after every change, on the thread that made it, outside the lock. Set before the book
    // is shared.
    void OnChange(std::function<void()> notify) { notify_ = std::move(notify); }

private:
    void Changed();

    mutable std::mutex mutex_;
    std::map<TaskId, TaskEntry> entries_;  // ids grow, so their order is the list's
    mutable std::vector<std::pair<uint64_t, TaskId>> removed_;
    TaskId lastId_ = kNoTask;
    uint64_t version_ = 0;
    std::function<void()> notify_;
};

}  // namespace tarvane
