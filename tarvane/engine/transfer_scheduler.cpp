#include "tarvane/engine/transfer_scheduler.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

#include "tarvane/engine/failure_reason.h"

namespace tarvane {

TransferScheduler::TransferScheduler(EngineContext& context, ThreadStarter startThread)
    : context_(context), startThread_(std::move(startThread)) {
    if (!startThread_) {
        startThread_ = [](std::function<void()> body) { return std::thread(std::move(body)); };
    }
}

TransferScheduler::~TransferScheduler() {
    Shutdown(std::chrono::seconds(3));
    JoinAll();
}

TransferScheduler::Start TransferScheduler::StartOrWait(const TaskLaunch& launch, int limit) {
    std::lock_guard lock(mutex_);
    ReapLocked();
    if (stopping_) {
        return Start::Stopping;
    }
    if (context_.tables.HasWorker(launch.id) || context_.tables.IsWaiting(launch.id)) {
        return Start::AlreadyActive;
    }
    if (liveWorkers_ < limit) {
        return LaunchLocked(launch) ? Start::Started : Start::NoThread;
    }
    return context_.tables.Enqueue(launch) ? Start::Waiting : Start::QueueFull;
}

TransferScheduler::Running& TransferScheduler::MakeRunningLocked(const TaskLaunch& launch) {
    Running& running = running_.emplace_back();
    running.worker = std::make_unique<TransferWorker>(context_, launch, &stopping_);
    return running;
}

bool TransferScheduler::LaunchLocked(const TaskLaunch& launch) {
    Running& running = MakeRunningLocked(launch);
    // Registered before its thread exists: a second start of the task sees it at once.
    if (!context_.tables.RegisterWorker(running.worker.get(), launch.id)) {
        running_.pop_back();
        return false;
    }
    return StartThreadLocked(running, launch);
}

void TransferScheduler::LaunchNextWaitingLocked() {
    for (;;) {
        Running* made = nullptr;
        auto taken = context_.tables.TakeNextWaiting([&](const TaskLaunch& launch) {
            made = &MakeRunningLocked(launch);
            return made->worker.get();
        });
        if (!taken) {
            return;
        }
        if (!taken->registered) {
            running_.pop_back();
        } else if (StartThreadLocked(*made, taken->launch)) {
            return;
        }
    }
}

bool TransferScheduler::StartThreadLocked(Running& running, const TaskLaunch& launch) {
    try {
        running.thread = startThread_([this, &running] { ThreadBody(&running); });
    } catch (const std::system_error&) {
        // A worker that never runs must not hold a slot, nor keep the program's end waiting for it.
        context_.tables.ReleaseWorker(running.worker.get());
        running_.pop_back();
        context_.book.Update(
            launch.id,
            [](TaskEntry& task) {
                task.running = false;
                task.state = kStateFailed;
                task.note = TaskNote::None;
                task.failure = ReasonNoThread();
            },
            Saving::Now);
        return false;
    }
    ++liveWorkers_;
    return true;
}

void TransferScheduler::ThreadBody(Running* running) {
    // Downloads are background work: when the processor is short, the window's thread goes first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kWorkerNiceness);
    running->worker->Run();
    std::lock_guard lock(mutex_);
    --liveWorkers_;
    running->ended = true;
    // Whatever the outcome, the first waiting task takes this worker's place.
    if (!stopping_) {
        LaunchNextWaitingLocked();
    }
    workerEnded_.notify_all();
}

void TransferScheduler::ReapLocked() {
    for (auto it = running_.begin(); it != running_.end();) {
        if (it->ended) {
            it->thread.join();
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
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

void TransferScheduler::JoinAll() {
    std::list<Running> all;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        context_.tables.PauseAllWorkers();
        all.swap(running_);
    }
    // A thread body ends by taking the lock, so the joins happen without it.
    for (Running& running : all) {
        if (running.thread.joinable()) {
            running.thread.join();
        }
    }
}

}  // namespace tarvane
