#include "desktop/thread_mailbox.h"

namespace tarvane {

ThreadMailbox::ThreadMailbox(int intervalMs, QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, [this] { Drain(); });
    timer_.start(intervalMs);
}

void ThreadMailbox::Post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(work));
}

void ThreadMailbox::Drain() {
    std::vector<std::function<void()>> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(work_);
    }
    // A message box among them runs an event loop: what is posted meanwhile waits for the next turn.
    for (auto& work : taken) {
        work();
    }
}

}  // namespace tarvane
