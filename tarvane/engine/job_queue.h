#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarvane {

// Runs jobs one after another, in the order they were posted, on a thread of its own: what must
// not hold the caller (a link taken into the task files) and must keep its order.
class JobQueue {
public:
    JobQueue();
    ~JobQueue();
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // False once the queue has stopped: the job is not run.
    bool Post(std::function<void()> job);
    // Runs what was posted before, then takes no more and ends the thread.
    void Stop();
    // Whether nothing is queued or running.
    bool Idle() const;

private:
    void Body();

    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tarvane
