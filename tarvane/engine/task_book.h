#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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
    Unpacking,  // the finished archive is unpacked; `checkedPercent` of it read so far
};

// One task as the engine keeps it: everything download.xml stores of it, typed, and the figures of
// its transfer.
struct TaskEntry {
    TaskId id = kNoTask;
    std::string page;  // the key of the task in the task files
    std::string name;  // file name without extension
    std::string type;  // extension of the data file; empty until known
    bool nameShowsType = false;
    std::string fileLink;
    int64_t size = 0;        // bytes of the whole file; 0 when not known
    bool sizeKnown = false;  // a probe has named the size (0 when the server named none)
    int64_t done = 0;        // bytes the task holds on disk, wherever they lie
    int64_t counted = 0;     // bytes from the start of the file without a gap: the stored count
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
    // Stored with the task and used by its transfers.
    std::string path;  // folder of the data file
    std::string prxIP;
    int prxPort = 0;
    std::string prxName;
    std::string prxPwd;
    std::string agent;
    std::string etag;  // validators of the bytes on disk
    std::string lastModified;
    std::string digest;      // the server's digest of the whole file
    std::string gameFolder;  // where an unpack of the finished file goes, once chosen
    uint64_t version = 0;    // of the book's last change to it
};

// The entry a stored task is listed with at the program's start: a task that is not running is
// paused, unless it failed.
TaskEntry EntryFromStored(const DownloadTask& task);
// The download.xml item of a task.
DownloadTask StoredForm(const TaskEntry& task);
// Takes what a worker knows of its task's stored fields (all but the agent and the shown count).
void TakeStored(TaskEntry& entry, const DownloadTask& record);

// A change the task files must follow, in the order the book made it.
struct StoreChange {
    enum class Kind {
        Add,             // a new download.xml item
        Save,            // rewrite the item of the task
        Remove,          // the item goes
        Finish,          // the finished entry goes on top of completed.xml, then the item goes
        RemoveFinished,  // a completed.xml entry goes
        SaveFinished,    // a completed.xml entry takes its game folder and unpack failure
    };
    Kind kind = Kind::Save;
    TaskId id = kNoTask;
    DownloadTask task;       // Add, Save; Remove and Finish: its page
    CompletedItem finished;  // Finish, SaveFinished; RemoveFinished: its page
};

// The finished downloads and where a page stands: what the dialogs ask of the engine.
class TaskDirectory {
public:
    virtual ~TaskDirectory() = default;
    virtual PageLocation LocatePage(const std::string& page) const = 0;
    // Newest first.
    virtual std::vector<CompletedItem> FinishedTasks() const = 0;
    // False when the page has no finished entry.
    virtual bool RemoveFinished(const std::string& page) = 0;
};

// Whether a change must reach the task files.
enum class Saving { None, Now };

// The tasks of the program, in list order (the order they were listed in), and the finished
// downloads, newest first, behind one lock: the interface thread, the intake and every worker read
// and change them. This is the truth of every task; the task files follow it through the store
// changes it queues under the same lock, so they follow it in order. Views follow the changes by
// version; none is waited for.
class TaskBook : public TaskDirectory {
public:
    // The tasks of download.xml and the entries of completed.xml, as the program starts: nothing to store.
    // Answers the ids the tasks got, in their order.
    std::vector<TaskId> Load(std::vector<TaskEntry> entries, std::vector<CompletedItem> finished);
    // Lists a new task at the end; answers its id.
    TaskId Add(TaskEntry entry);
    // The user deleted the task. False when it is not listed (any more).
    bool Remove(TaskId id);
    // Changes the task under the lock; false when it is not listed. `change` must not call out.
    bool Update(TaskId id, const std::function<void(TaskEntry&)>& change, Saving saving = Saving::None);
    // The task is finished: it leaves the list and `item` goes on top of the finished list. False when
    // it is not listed.
    bool Finish(TaskId id, CompletedItem item);
    std::optional<TaskEntry> Get(TaskId id) const;
    // The first task of the page, or kNoTask.
    TaskId FindPage(const std::string& page) const;
    std::vector<TaskId> Ids() const;
    std::size_t Count() const;

    std::vector<CompletedItem> FinishedTasks() const override;
    bool RemoveFinished(const std::string& page) override;
    // Changes the page's finished entry (its game folder and unpack failure are stored); false when
    // the page has none.
    bool UpdateFinished(const std::string& page, const std::function<void(CompletedItem&)>& change);
    PageLocation LocatePage(const std::string& page) const override;
    // Whether the file at `path` (full path of a data file) is a finished download's.
    bool IsFinishedFile(const std::string& path) const;

    // What changed after `version`: the tasks listed or changed since (copies, in list order) and
    // the ids that left the list since. Any number of followers, each with its own version.
    struct Changes {
        uint64_t version = 0;
        std::vector<TaskEntry> changed;
        std::vector<TaskId> removed;
    };
    Changes ChangesSince(uint64_t version) const;

    // The store changes made since the last call, oldest first; waits up to `limit` for one.
    std::vector<StoreChange> TakeStoreChanges(std::chrono::milliseconds limit);
    // Wakes a TakeStoreChanges that waits, so its caller can look at its own state.
    void WakeStore();

    // Called after every change, on the thread that made it, outside the lock. Set before the book
    // is shared.
    void OnChange(std::function<void()> notify) { notify_ = std::move(notify); }

private:
    void Changed();
    void QueueLocked(StoreChange change);

    mutable std::mutex mutex_;
    std::map<TaskId, TaskEntry> entries_;  // ids grow, so their order is the list's
    std::vector<std::pair<uint64_t, TaskId>> removed_;
    std::deque<CompletedItem> finished_;
    std::vector<StoreChange> storeChanges_;
    std::condition_variable storeReady_;
    bool storeWake_ = false;
    TaskId lastId_ = kNoTask;
    uint64_t version_ = 0;
    std::function<void()> notify_;
};

}  // namespace tarvane
