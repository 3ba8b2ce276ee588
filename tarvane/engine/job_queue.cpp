#include "tarvane/engine/job_queue.h"

namespace tarvane {

JobQueue::JobQueue() : thread_([this] { Body(); }) {}

JobQueue::~JobQueue() {
    Stop();
}

bool JobQueue::Post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return false;
        }
        jobs_.push_back(std::move(job));
    }
    posted_.notify_one();
    return true;
}

void JobQueue::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    posted_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool JobQueue::Idle() const {
    std::lock_guard lock(mutex_);
    return jobs_.empty() && !running_;
}

void JobQueue::Body() {
    std::unique_lock lock(mutex_);
    for (;;) {
        posted_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;  // stopping, and all that was posted has run
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
    }
}

}  // namespace tarvane
