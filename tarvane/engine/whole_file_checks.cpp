#include "tarvane/engine/whole_file_checks.h"

namespace tarvane {

namespace {

// Blocks waiting at most: enough to ride out an uneven reader, little memory.
constexpr std::size_t kQueued = 4;

}  // namespace

WholeFileChecks::WholeFileChecks(const ExpectedDigest& digest, bool gzip) : digest_(digest) {
    if (gzip) {
        gzip_.emplace();
    }
    if (Active()) {
        worker_ = std::thread([this] { Work(); });
    }
}

WholeFileChecks::~WholeFileChecks() {
    Finish();
}

void WholeFileChecks::Feed(const unsigned char* bytes, std::size_t size) {
    if (!Active()) {
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queued_.size() < kQueued; });
    std::vector<unsigned char> block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block.assign(bytes, bytes + size);
    queued_.push_back(std::move(block));
    changed_.notify_all();
}

void WholeFileChecks::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closed_ || !queued_.empty(); });
        if (queued_.empty()) {
            return;
        }
        std::vector<unsigned char> block = std::move(queued_.front());
        queued_.pop_front();
        changed_.notify_all();
        lock.unlock();
        digest_.Update(block.data(), block.size());
        if (gzip_) {
            gzip_->Feed(block.data(), block.size());
        }
        lock.lock();
        spare_.push_back(std::move(block));
    }
}

void WholeFileChecks::Finish() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool WholeFileChecks::Passed() {
    Finish();
    return digest_.Matches() && (!gzip_ || gzip_->Passed());
}

}  // namespace tarvane
