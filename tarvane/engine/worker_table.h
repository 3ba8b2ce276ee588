#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "tarvane/engine/task_record.h"
#include "tarvane/engine/worker_control.h"

namespace tarvane {

inline constexpr int kWorkerSlotCount = 20;
inline constexpr int kWaitingQueueSize = 5000;

// The number of workers allowed at once for a configured "maxTaskNum": there are only 20 slots, and
// a limit below 1 (written by hand) would leave every new task waiting with nothing to start it.
int EffectiveTaskLimit(int maxTaskNum);

// Which worker runs which task, and which data file it writes. Slots [0, count) are
// used, in registration order. Not synchronised: TaskTables guards it.
class WorkerTable {
public:
    WorkerTable();

    int count() const { return count_; }
    WorkerControl* worker(int slot) const { return workers_[slot]; }
    TaskId key(int slot) const { return keys_[slot]; }
    const std::string& path(int slot) const { return paths_[slot]; }

    // False when every slot is used or the task already has a worker.
    bool Register(WorkerControl* worker, TaskId key);
    // The worker's slot, or -1.
    int SlotOf(const WorkerControl* worker) const;
    // The slot running the task of `key`, or -1.
    int SlotOfKey(TaskId key) const;
    // The slot writing the data file `path`, or -1.
    int SlotOfPath(const std::string& path) const;
    void SetPath(int slot, std::string path) { paths_[slot] = std::move(path); }
    bool completing(int slot) const { return completing_[slot]; }
    void SetCompleting(int slot) { completing_[slot] = true; }
    // Removes `slot` and closes the gap, keeping the order.
    void RemoveSlot(int slot);
    // A worker whose task left the list keeps its slot (it still has to stop) but loses its id.
    void Forget(TaskId key);
    bool Consistent() const;

private:
    std::array<WorkerControl*, kWorkerSlotCount> workers_;
    std::array<TaskId, kWorkerSlotCount> keys_;
    std::array<std::string, kWorkerSlotCount> paths_;
    std::array<bool, kWorkerSlotCount> completing_;
    int count_ = 0;
};

// Launch records of the tasks waiting for a free worker, oldest first. The entries form a ring, so
// taking the first one moves nothing; all entries are allocated once. Not synchronised: TaskTables
// guards it.
class WaitingQueue {
public:
    WaitingQueue();

    int size() const { return size_; }
    // False when all entries are used or the launch names no task (the mark of a used entry).
    bool Push(const TaskLaunch& launch);
    std::optional<TaskLaunch> PopFront();
    // Removes every entry for `key`; answers how many.
    int Remove(TaskId key);
    bool Contains(TaskId key) const;
    bool Consistent() const;

private:
    // The entry at `index` in waiting order.
    TaskLaunch& At(int index) { return entries_[(head_ + index) % kWaitingQueueSize]; }
    const TaskLaunch& At(int index) const { return entries_[(head_ + index) % kWaitingQueueSize]; }
    void EraseAt(int index);

    std::unique_ptr<TaskLaunch[]> entries_;
    int head_ = 0;
    int size_ = 0;
};

// The worker table and the waiting queue behind one lock: each operation sees and leaves both
// consistent while the interface thread and every worker thread use them. No operation calls out
// (task files, views), so holding the lock never waits for anything. Tasks are named by their id.
class TaskTables {
public:
    TaskTables() = default;
    TaskTables(const TaskTables&) = delete;
    TaskTables& operator=(const TaskTables&) = delete;

    // False when all 20 slots are used, or when the task already has a worker.
    bool RegisterWorker(WorkerControl* worker, TaskId key);
    // Takes the worker out of the table. False when its task had left the list meanwhile.
    bool ReleaseWorker(const WorkerControl* worker);
    // Whether the worker's task is still listed (it was not deleted while the worker ran).
    bool WorkerListed(const WorkerControl* worker) const;
    // Claims the data file `path` for the worker; false when another worker writes it.
    bool ClaimPath(const WorkerControl* worker, const std::string& path);
    // Whether a worker other than `except` has claimed the data file `path`.
    bool PathClaimedByAnother(const std::string& path, const WorkerControl* except) const;
    // State of the worker of the task; nothing when the task has no worker.
    std::optional<int> WorkerStateOf(TaskId key) const;
    bool HasWorker(TaskId key) const;
    // Asks the worker of the task to stop; false when the task has no worker.
    bool RequestPause(TaskId key);
    // Before a delete: false when the task's worker is finishing it (the finished list takes it), else
    // as Forget.
    bool BeginDelete(TaskId key);
    // The worker is about to record its task as finished: false when the task left the list first.
    bool ClaimCompletion(const WorkerControl* worker);
    // The task left the list: its waiting entry goes (answers how many), its worker is asked to stop
    // and loses its id.
    int Forget(TaskId key);

    // False when the queue is full: the task stays listed and stored, to be started by hand.
    bool Enqueue(const TaskLaunch& launch);
    // Takes the first waiting task and registers the worker `make` builds for it, in one step: a delete
    // in between would find the task neither waiting nor running, and its worker would download a file
    // no list holds. `make` runs under the tables' lock and must not call them. Nothing when no task
    // waits; `registered` false when the worker could not be registered (the task leaves the queue).
    struct TakenLaunch {
        TaskLaunch launch;
        bool registered = false;
    };
    std::optional<TakenLaunch> TakeNextWaiting(const std::function<WorkerControl*(const TaskLaunch&)>& make);
    bool IsWaiting(TaskId key) const;
    int WaitingCount() const;

    int RunningCount() const;
    bool AnyWorkerRunning() const;
    void PauseAllWorkers();

    // Both tables packed and in range; for checks.
    bool Consistent() const;

private:
    int ForgetLocked(TaskId key);

    mutable std::mutex mutex_;
    WorkerTable workers_;
    WaitingQueue waiting_;
};

}  // namespace tarvane
