#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "tarvane/engine/transfer_worker.h"

namespace tarvane {

// Starts workers on threads of their own under the limit of running tasks, lets the others wait,
// and hands a finishing worker's place to the first waiting task. Keeps count of its threads so the
// program can end in order: pause them all, then wait a bounded time for them to save their counts.
class TransferScheduler {
public:
    enum class Start { Started, Waiting, QueueFull, Stopping };

    explicit TransferScheduler(EngineContext& context) : context_(context) {}
    ~TransferScheduler();
    TransferScheduler(const TransferScheduler&) = delete;
    TransferScheduler& operator=(const TransferScheduler&) = delete;

    // Starts the task when fewer than `limit` workers run, else puts it in the waiting queue. The
    // decision and the start are one step, so two calls at once never exceed the limit and a task
    // never waits while nothing runs that would start it.
    Start StartOrWait(const TaskLaunch& launch, int limit);

    // Worker threads that have not ended yet.
    int LiveWorkers() const;
    // Waits until no worker thread is left or the time is up, calling `serveInterface` in between
    // so that the workers' list writes still get served while the caller is the interface thread.
    bool WaitForWorkers(std::chrono::milliseconds limit, const std::function<void()>& serveInterface = {});
    // Starts nothing more, pauses every worker and waits for them, at most `limit`.
    bool Shutdown(std::chrono::milliseconds limit, const std::function<void()>& serveInterface = {});

private:
    void LaunchLocked(const TaskLaunch& launch);
    void ThreadBody(TaskLaunch launch);

    EngineContext& context_;
    mutable std::mutex mutex_;
    std::condition_variable workerEnded_;
    int liveWorkers_ = 0;
    std::atomic<bool> stopping_{false};
};

}  // namespace tarvane
