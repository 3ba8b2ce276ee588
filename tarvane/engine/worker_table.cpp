#include "tarvane/engine/worker_table.h"

#include <algorithm>
#include <utility>

namespace tarvane {

int EffectiveTaskLimit(int maxTaskNum) {
    return std::clamp(maxTaskNum, 1, kWorkerSlotCount);
}

WorkerTable::WorkerTable() {
    workers_.fill(nullptr);
    keys_.fill(kNoTask);
}

bool WorkerTable::Register(WorkerControl* worker, TaskId key) {
    // One worker a task.
    if (count_ == kWorkerSlotCount || worker == nullptr || SlotOfKey(key) >= 0) {
        return false;
    }
    workers_[count_] = worker;
    keys_[count_] = key;
    paths_[count_].clear();
    completing_[count_] = false;
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

int WorkerTable::SlotOfKey(TaskId key) const {
    if (key == kNoTask) {
        return -1;
    }
    for (int slot = 0; slot < count_; ++slot) {
        if (keys_[slot] == key) {
            return slot;
        }
    }
    return -1;
}

int WorkerTable::SlotOfPath(const std::string& path) const {
    for (int slot = 0; slot < count_; ++slot) {
        if (paths_[slot] == path) {
            return slot;
        }
    }
    return -1;
}

void WorkerTable::RemoveSlot(int slot) {
    for (int k = slot + 1; k < count_; ++k) {
        workers_[k - 1] = workers_[k];
        keys_[k - 1] = keys_[k];
        paths_[k - 1] = std::move(paths_[k]);
        completing_[k - 1] = completing_[k];
    }
    --count_;
    workers_[count_] = nullptr;
    keys_[count_] = kNoTask;
    paths_[count_].clear();
    completing_[count_] = false;
}

void WorkerTable::Forget(TaskId key) {
    if (int slot = SlotOfKey(key); slot >= 0) {
        keys_[slot] = kNoTask;
    }
}

bool WorkerTable::Consistent() const {
    if (count_ < 0 || count_ > kWorkerSlotCount) {
        return false;
    }
    for (int slot = 0; slot < kWorkerSlotCount; ++slot) {
        bool used = slot < count_;
        if (used != (workers_[slot] != nullptr) || (!used && (keys_[slot] != kNoTask || !paths_[slot].empty()))) {
            return false;
        }
    }
    return true;
}

WaitingQueue::WaitingQueue() : entries_(std::make_unique<TaskLaunch[]>(kWaitingQueueSize)) {}

bool WaitingQueue::Push(const TaskLaunch& launch) {
    if (size_ == kWaitingQueueSize || launch.id == kNoTask) {
        return false;
    }
    At(size_) = launch;
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

int WaitingQueue::Remove(TaskId key) {
    int removed = 0;
    for (int index = 0; index < size_;) {
        if (At(index).id == key) {
            EraseAt(index);
            ++removed;
        } else {
            ++index;
        }
    }
    return removed;
}

bool WaitingQueue::Contains(TaskId key) const {
    for (int index = 0; index < size_; ++index) {
        if (At(index).id == key) {
            return true;
        }
    }
    return false;
}

bool WaitingQueue::Consistent() const {
    if (size_ < 0 || size_ > kWaitingQueueSize || head_ < 0 || head_ >= kWaitingQueueSize) {
        return false;
    }
    for (int index = 0; index < kWaitingQueueSize; ++index) {
        const TaskLaunch& entry = At(index);
        if (index < size_) {
            if (entry.id == kNoTask) {
                return false;
            }
        } else if (entry.id != kNoTask || !entry.name.empty() || !entry.fileLink.empty()) {
            return false;
        }
    }
    return true;
}

bool TaskTables::RegisterWorker(WorkerControl* worker, TaskId key) {
    std::lock_guard lock(mutex_);
    return workers_.Register(worker, key);
}

bool TaskTables::ReleaseWorker(const WorkerControl* worker) {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOf(worker);
    if (slot < 0) {
        return false;
    }
    bool listed = workers_.key(slot) != kNoTask;
    workers_.RemoveSlot(slot);
    return listed;
}

bool TaskTables::WorkerListed(const WorkerControl* worker) const {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOf(worker);
    return slot >= 0 && workers_.key(slot) != kNoTask;
}

bool TaskTables::ClaimPath(const WorkerControl* worker, const std::string& path) {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOf(worker);
    int owner = workers_.SlotOfPath(path);
    if (slot < 0 || (owner >= 0 && owner != slot)) {
        return false;
    }
    workers_.SetPath(slot, path);
    return true;
}

bool TaskTables::PathClaimedByAnother(const std::string& path, const WorkerControl* except) const {
    std::lock_guard lock(mutex_);
    int owner = workers_.SlotOfPath(path);
    return owner >= 0 && workers_.worker(owner) != except;
}

std::optional<int> TaskTables::WorkerStateOf(TaskId key) const {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOfKey(key);
    if (slot < 0) {
        return std::nullopt;
    }
    return workers_.worker(slot)->state.load();
}

bool TaskTables::HasWorker(TaskId key) const {
    std::lock_guard lock(mutex_);
    return workers_.SlotOfKey(key) >= 0;
}

bool TaskTables::RequestPause(TaskId key) {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOfKey(key);
    if (slot < 0) {
        return false;
    }
    workers_.worker(slot)->pauseRequested.store(1);
    return true;
}

bool TaskTables::BeginDelete(TaskId key) {
    std::lock_guard lock(mutex_);
    if (int slot = workers_.SlotOfKey(key); slot >= 0 && workers_.completing(slot)) {
        return false;
    }
    ForgetLocked(key);
    return true;
}

bool TaskTables::ClaimCompletion(const WorkerControl* worker) {
    std::lock_guard lock(mutex_);
    int slot = workers_.SlotOf(worker);
    if (slot < 0 || workers_.key(slot) == kNoTask) {
        return false;
    }
    workers_.SetCompleting(slot);
    return true;
}

int TaskTables::Forget(TaskId key) {
    std::lock_guard lock(mutex_);
    return ForgetLocked(key);
}

int TaskTables::ForgetLocked(TaskId key) {
    if (key == kNoTask) {
        return 0;
    }
    if (int slot = workers_.SlotOfKey(key); slot >= 0) {
        workers_.worker(slot)->pauseRequested.store(1);
    }
    workers_.Forget(key);
    return waiting_.Remove(key);
}

bool TaskTables::Enqueue(const TaskLaunch& launch) {
    std::lock_guard lock(mutex_);
    return waiting_.Push(launch);
}

std::optional<TaskTables::TakenLaunch> TaskTables::TakeNextWaiting(
    const std::function<WorkerControl*(const TaskLaunch&)>& make) {
    std::lock_guard lock(mutex_);
    std::optional<TaskLaunch> next = waiting_.PopFront();
    if (!next) {
        return std::nullopt;
    }
    WorkerControl* worker = make(*next);
    bool registered = workers_.Register(worker, next->id);
    return TakenLaunch{std::move(*next), registered};
}

bool TaskTables::IsWaiting(TaskId key) const {
    std::lock_guard lock(mutex_);
    return waiting_.Contains(key);
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
