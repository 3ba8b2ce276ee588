#include "selvik/link_sender.h"

namespace selvik {

BackgroundLinkSender::BackgroundLinkSender(std::function<void(const std::string&)> deliver)
    : deliver_(std::move(deliver)) {}

BackgroundLinkSender::~BackgroundLinkSender() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void BackgroundLinkSender::Send(std::string encodedRecord) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(encodedRecord));
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    wake_.notify_all();
}

void BackgroundLinkSender::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (pending_.empty()) {
            return;
        }
        std::string record = std::move(pending_.front());
        pending_.pop_front();
        lock.unlock();
        deliver_(record);
        lock.lock();
    }
}

}  // namespace selvik
