#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "tarvane/engine/transfer_worker.h"

namespace tarvane {

// How much lower than the program's other threads a worker runs (a nice value).
inline constexpr int kWorkerNiceness = 5;

// Starts workers on threads of their own under the limit of running tasks, lets the others wait,
// and hands a finishing worker's place to the first waiting task. Owns its threads, so the program
// can end in order: pause them all, wait while the interface still serves their list writes, then
// join every one before anything they use goes away.
class TransferScheduler {
public:
    enum class Start { Started, Waiting, QueueFull, Stopping, AlreadyActive, NoThread };

    // Starts a thread that runs `body`; throws std::system_error when the system has none to give.
    using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

    explicit TransferScheduler(EngineContext& context, ThreadStarter startThread = {});
    ~TransferScheduler();
    TransferScheduler(const TransferScheduler&) = delete;
    TransferScheduler& operator=(const TransferScheduler&) = delete;

    // Starts the task when fewer than `limit` workers run, else puts it in the waiting queue. The
    // decision, the worker's registration and the start are one step, so two calls at once never
    // exceed the limit, never give one task two workers, and a task never waits while nothing runs
    // that would start it.
    Start StartOrWait(const TaskLaunch& launch, int limit);

    // Worker threads that have not ended yet.
    int LiveWorkers() const;
    // Waits until no worker thread is left or the time is up, calling `serveInterface` in between
    // so that the workers' list writes still get served while the caller is the interface thread.
    bool WaitForWorkers(std::chrono::milliseconds limit, const std::function<void()>& serveInterface = {});
    // Starts nothing more, pauses every worker and waits for them, at most `limit`.
    bool Shutdown(std::chrono::milliseconds limit, const std::function<void()>& serveInterface = {});
    // Joins every worker thread. After Shutdown, once nothing waits for the interface thread any more
    // (the list answers at once), so that the wait ends.
    void JoinAll();

private:
    struct Running {
        std::unique_ptr<TransferWorker> worker;
        std::thread thread;
        bool ended = false;
    };

    // False when no thread could be had: nothing of the worker stays, and its task has failed.
    bool LaunchLocked(const TaskLaunch& launch);
    // Launches the first waiting task that can be launched, if any.
    void LaunchNextWaitingLocked();
    Running& MakeRunningLocked(const TaskLaunch& launch);
    // False when no thread could be had: the worker is released and taken away, its task has failed.
    bool StartThreadLocked(Running& running, const TaskLaunch& launch);
    void ThreadBody(Running* running);
    // Joins the threads whose body has returned; under the lock.
    void ReapLocked();

    EngineContext& context_;
    ThreadStarter startThread_;
    mutable std::mutex mutex_;
    std::condition_variable workerEnded_;
    std::list<Running> running_;
    int liveWorkers_ = 0;
    std::atomic<bool> stopping_{false};
};

}  // namespace tarvane
