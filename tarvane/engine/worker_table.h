#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>

#include "tarvane/engine/task_record.h"
#include "tarvane/engine/worker_control.h"

namespace tarvane {

inline constexpr int kWorkerSlotCount = 20;
inline constexpr int kWaitingQueueSize = 5000;

// The number of workers allowed at once for a configured "maxTaskNum": there are only 20 slots, and
// a limit below 1 (written by hand) would leave every new task waiting with nothing to start it.
int EffectiveTaskLimit(int maxTaskNum);

// Which worker reports into which list row. Slots [0, count) are used, in registration order.
// Not synchronised: TaskTables guards it.
class WorkerTable {
public:
    WorkerTable();

    int count() const { return count_; }
    WorkerControl* worker(int slot) const { return workers_[slot]; }
    int row(int slot) const { return rows_[slot]; }

    bool Register(WorkerControl* worker, int row);
    // The worker's slot, or -1.
    int SlotOf(const WorkerControl* worker) const;
    // First slot reporting into `row`, or -1.
    int SlotOfRow(int row) const;
    // Removes `slot` and closes the gap, keeping the order.
    void RemoveSlot(int slot);
    // A worker whose row left the list keeps its slot but gets row -1, so none of its later writes
    // reach the task that moved up into that row; later rows move up by one.
    void RowRemoved(int row);
    bool Consistent() const;

private:
    std::array<WorkerControl*, kWorkerSlotCount> workers_;
    std::array<int, kWorkerSlotCount> rows_;
    int count_ = 0;
};

// Launch records of the tasks waiting for a free worker, oldest first. The entries form a ring, so
// taking the first one moves nothing; all entries are allocated once. Not synchronised: TaskTables
// guards it.
class WaitingQueue {
public:
    WaitingQueue();

    int size() const { return size_; }
    // False when all entries are used or the launch names no list view (the mark of a used entry).
    bool Push(const TaskLaunch& launch);
    std::optional<TaskLaunch> PopFront();
    // Removes every entry for `row`; answers how many.
    int RemoveRow(int row);
    bool ContainsRow(int row) const;
    // Drops the entries of a row that left the list and moves later rows up; answers how many dropped.
    int RowRemoved(int row);
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
// (list view, task files), so holding the lock never waits for the interface thread.
class TaskTables {
public:
    TaskTables() = default;
    TaskTables(const TaskTables&) = delete;
    TaskTables& operator=(const TaskTables&) = delete;

    // False when all 20 slots are used (more workers were launched than the table holds).
    bool RegisterWorker(WorkerControl* worker, int row);
    // Takes the worker out of the table and answers the row it held, or -1 when it was not there or
    // its row had left the list. With `rowLeavesList` the rows after it move up in the same step, as
    // in RowRemoved; `droppedWaiting` then receives the number of waiting entries dropped.
    int ReleaseWorker(bool rowLeavesList, const WorkerControl* worker, int* droppedWaiting = nullptr);
    int FindWorkerSlot(int row) const;
    // State of the worker in `slot`; -1 for an unused slot.
    int WorkerState(int slot) const;
    // State of the worker on `row` in one step (the slot may move between FindWorkerSlot and
    // WorkerState); nothing when the row has no worker.
    std::optional<int> WorkerStateOfRow(int row) const;
    // Row the worker reports into now; -1 when it is not in the table or its row left the list.
    int WorkerRow(const WorkerControl* worker) const;
    // Asks the worker on `row` to stop; false when the row has no worker.
    bool RequestPause(int row);
    // `row` left the list: workers and waiting tasks after it move up; a waiting task on it is
    // dropped (answers how many) and a worker on it loses its row.
    int RowRemoved(int row);

    // False when the queue is full: the task stays listed and stored, to be started by hand.
    bool Enqueue(const TaskLaunch& launch);
    std::optional<TaskLaunch> TakeNextWaiting();
    // Removes the waiting task of `row` so that it never starts; answers how many entries went.
    int RemoveWaiting(int row);
    bool IsWaiting(int row) const;
    int WaitingCount() const;

    int RunningCount() const;
    bool AnyWorkerRunning() const;
    void PauseAllWorkers();

    // Both tables packed and in range; for checks.
    bool Consistent() const;

private:
    mutable std::mutex mutex_;
    WorkerTable workers_;
    WaitingQueue waiting_;
};

}  // namespace tarvane
