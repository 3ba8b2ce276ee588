#include "tarvane/engine/worker_table.h"

#include <algorithm>
#include <utility>

namespace tarvane {

int EffectiveTaskLimit(int maxTaskNum) {
    return std::clamp(maxTaskNum, 1, kWorkerSlotCount);
}

WorkerTable::WorkerTable() {
    workers_.fill(nullptr);
    rows_.fill(-1);
}

bool WorkerTable::Register(WorkerControl* worker, int row) {
    if (count_ == kWorkerSlotCount || worker == nullptr) {
        return false;
    }
    workers_[count_] = worker;
    rows_[count_] = row;
    ++count_;
    return true;
}

int WorkerTable::SlotOf(const WorkerControl* worker) const {
    for (int slot = 0; slot < count_; ++slot) {
        if (workers_[slot] == worker) {
            return slot;
        }
    }
    return -1;
}

int WorkerTable::SlotOfRow(int row) const {
    if (row < 0) {
        return -1;
    }
    for (int slot = 0; slot < count_; ++slot) {
        if (rows_[slot] == row) {
            return slot;
        }
    }
    return -1;
}

void WorkerTable::RemoveSlot(int slot) {
    for (int k = slot + 1; k < count_; ++k) {
        workers_[k - 1] = workers_[k];
        rows_[k - 1] = rows_[k];
    }
    --count_;
    workers_[count_] = nullptr;
    rows_[count_] = -1;
}

void WorkerTable::RowRemoved(int row) {
    for (int slot = 0; slot < count_; ++slot) {
        if (rows_[slot] == row) {
            rows_[slot] = -1;
        } else if (rows_[slot] > row) {
            --rows_[slot];
        }
    }
}

bool WorkerTable::Consistent() const {
    if (count_ < 0 || count_ > kWorkerSlotCount) {
        return false;
    }
    for (int slot = 0; slot < kWorkerSlotCount; ++slot) {
        bool used = slot < count_;
        if (used != (workers_[slot] != nullptr) || rows_[slot] < -1 || (!used && rows_[slot] != -1)) {
            return false;
        }
    }
    return true;
}

WaitingQueue::WaitingQueue() : entries_(std::make_unique<TaskLaunch[]>(kWaitingQueueSize)) {}

bool WaitingQueue::Push(const TaskLaunch& launch) {
    if (size_ == kWaitingQueueSize || launch.listView == nullptr) {
        return false;
    }
    TaskLaunch& entry = At(size_);
    entry = launch;
    entry.worker = nullptr;
    ++size_;
    return true;
}

std::optional<TaskLaunch> WaitingQueue::PopFront() {
    if (size_ == 0) {
        return std::nullopt;
    }
    TaskLaunch first = std::move(At(0));
    At(0) = TaskLaunch{};
    head_ = (head_ + 1) % kWaitingQueueSize;
    --size_;
    return first;
}

void WaitingQueue::EraseAt(int index) {
    for (int k = index + 1; k < size_; ++k) {
        At(k - 1) = std::move(At(k));
    }
    --size_;
    At(size_) = TaskLaunch{};
}

int WaitingQueue::RemoveRow(int row) {
    int removed = 0;
    for (int index = 0; index < size_;) {
        if (At(index).row == row) {
            EraseAt(index);
            ++removed;
        } else {
            ++index;
        }
    }
    return removed;
}

bool WaitingQueue::ContainsRow(int row) const {
    for (int index = 0; index < size_; ++index) {
        if (At(index).row == row) {
            return true;
        }
    }
    return false;
}

int WaitingQueue::RowRemoved(int row) {
    int dropped = RemoveRow(row);
    for (int index = 0; index < size_; ++index) {
        if (At(index).row > row) {
            --At(index).row;
        }
    }
    return dropped;
}

bool WaitingQueue::Consistent() const {
    if (size_ < 0 || size_ > kWaitingQueueSize || head_ < 0 || head_ >= kWaitingQueueSize) {
        return false;
    }
    for (int index = 0; index < kWaitingQueueSize; ++index) {
        const TaskLaunch& entry = At(index);
        if (index < size_) {
            if (entry.listView == nullptr || entry.worker != nullptr) {
                return false;
            }
        } else if (entry.listView != nullptr || entry.worker != nullptr || entry.row != 0 || !entry.name.empty() ||
                   !entry.fileLink.empty()) {
            return false;
        }
    }
    return true;
}

bool TaskTables::RegisterWorker(WorkerControl* worker, int row) {
    std::lock_guard lock(mutex_);
    return workers_.Register(worker, row);
}

int TaskTables::ReleaseWorker(bool rowLeavesList, const WorkerControl* worker, int* droppedWaiting) {
    std::lock_guard lock(mutex_);
    int dropped = 0;
    int slot = workers_.SlotOf(worker);
    int row = slot < 0 ? -1 : workers_.row(slot);
    if (slot >= 0) {
        workers_.RemoveSlot(slot);
    }
    if (rowLeavesList && row >= 0) {
        workers_.RowRemoved(row);
        dropped = waiting_.RowRemoved(row);
    }
    if (droppedWaiting != nullptr) {
        *droppedWaiting = dropped;
    }
    return row;
}

int TaskTables::FindWorkerSlot(int row) const {
    std::lock_guard lock(mutex_);
    return workers_.SlotOfRow(row);
}

int TaskTables::WorkerState(int slot) const {
    std::lock_guard lock(mutex_);
    if (slot < 0 || slot >= workers_.count()) {
        return kStatePreparing;
    }
    return workers_.worker(slot)->state.load();
}

std::optional<int> TaskTables::WorkerStateOfRow(int row) const {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOfRow(row);
    if (slot < 0) {
        return std::nullopt;
    }
    return workers_.worker(slot)->state.load();
}

int TaskTables::WorkerRow(const WorkerControl* worker) const {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOf(worker);
    return slot < 0 ? -1 : workers_.row(slot);
}

bool TaskTables::RequestPause(int row) {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOfRow(row);
    if (slot < 0) {
        return false;
    }
    workers_.worker(slot)->pauseRequested.store(1);
    return true;
}

int TaskTables::RowRemoved(int row) {
    std::lock_guard lock(mutex_);
    if (row < 0) {
        return 0;
    }
    workers_.RowRemoved(row);
    return waiting_.RowRemoved(row);
}

bool TaskTables::Enqueue(const TaskLaunch& launch) {
    std::lock_guard lock(mutex_);
    return waiting_.Push(launch);
}

std::optional<TaskLaunch> TaskTables::TakeNextWaiting() {
    std::lock_guard lock(mutex_);
    return waiting_.PopFront();
}

int TaskTables::RemoveWaiting(int row) {
    std::lock_guard lock(mutex_);
    return waiting_.RemoveRow(row);
}

bool TaskTables::IsWaiting(int row) const {
    std::lock_guard lock(mutex_);
    return waiting_.ContainsRow(row);
}

int TaskTables::WaitingCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size();
}

int TaskTables::RunningCount() const {
    std::lock_guard lock(mutex_);
    return workers_.count();
}

bool TaskTables::AnyWorkerRunning() const {
    // A worker whose row was deleted is still running until it sees its pause request.
    std::lock_guard lock(mutex_);
    return workers_.count() > 0;
}

void TaskTables::PauseAllWorkers() {
    std::lock_guard lock(mutex_);
    for (int slot = 0; slot < workers_.count(); ++slot) {
        workers_.worker(slot)->pauseRequested.store(1);
    }
}

bool TaskTables::Consistent() const {
    std::lock_guard lock(mutex_);
    return workers_.Consistent() && waiting_.Consistent();
}

}  // namespace tarvane
