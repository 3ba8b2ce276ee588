#include "tarvane/engine/transfer_scheduler.h"

#include <thread>

namespace tarvane {

TransferScheduler::~TransferScheduler() {
    // Worker threads use this object: none may outlive it. A paused transfer ends at its next
    // progress call, which libcurl makes at least once a second even on a stalled connection.
    if (!Shutdown(std::chrono::seconds(3))) {
        WaitForWorkers(std::chrono::minutes(1));
    }
}

TransferScheduler::Start TransferScheduler::StartOrWait(const TaskLaunch& launch, int limit) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return Start::Stopping;
    }
    if (liveWorkers_ < limit) {
        LaunchLocked(launch);
        return Start::Started;
    }
    return context_.tables.Enqueue(launch) ? Start::Waiting : Start::QueueFull;
}

void TransferScheduler::LaunchLocked(const TaskLaunch& launch) {
    ++liveWorkers_;
    std::thread([this, launch] { ThreadBody(launch); }).detach();
}

void TransferScheduler::ThreadBody(TaskLaunch launch) {
    {
        TransferWorker worker(context_, launch, &stopping_);
        worker.Run();
    }
    std::lock_guard lock(mutex_);
    --liveWorkers_;
    // Whatever the outcome, the first waiting task takes this worker's place.
    if (!stopping_) {
        if (auto next = context_.tables.TakeNextWaiting()) {
            LaunchLocked(*next);
        }
    }
    workerEnded_.notify_all();
}

int TransferScheduler::LiveWorkers() const {
    std::lock_guard lock(mutex_);
    return liveWorkers_;
}

bool TransferScheduler::WaitForWorkers(std::chrono::milliseconds limit, const std::function<void()>& serveInterface) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    while (liveWorkers_ > 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        if (serveInterface) {
            lock.unlock();
            serveInterface();
            lock.lock();
            workerEnded_.wait_for(lock, std::chrono::milliseconds(10));
        } else {
            workerEnded_.wait_until(lock, deadline);
        }
    }
    return true;
}

bool TransferScheduler::Shutdown(std::chrono::milliseconds limit, const std::function<void()>& serveInterface) {
    {
        std::lock_guard lock(mutex_);
        // A worker that registers after the pause below sees the flag and pauses itself.
        stopping_ = true;
        context_.tables.PauseAllWorkers();
    }
    return WaitForWorkers(limit, serveInterface);
}

}  // namespace tarvane
