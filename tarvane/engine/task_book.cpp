#include "tarvane/engine/task_book.h"

#include <algorithm>

#include "tarvane/engine/byte_count.h"

namespace tarvane {

namespace {

TaskState StateOfFlag(const std::string& flag) {
    return flag == "3" ? kStateFailed : kStatePaused;
}

}  // namespace

void TakeStored(TaskEntry& entry, const DownloadTask& record) {
    entry.page = record.frmPge;
    entry.name = record.name;
    entry.path = record.path;
    entry.sizeKnown = !record.size.empty();
    entry.size = ByteCount(record.size);
    entry.counted = ByteCount(record.downloadedSize);
    entry.type = record.type;
    entry.fileLink = record.fileLink;
    entry.prxIP = record.prxIP;
    entry.prxPort = record.prxPort;
    entry.prxName = record.prxName;
    entry.prxPwd = record.prxPwd;
    entry.etag = record.etag;
    entry.lastModified = record.lastModified;
    entry.digest = record.digest;
    entry.gameFolder = record.gameFolder;
    entry.failure = record.error;
}

TaskEntry EntryFromStored(const DownloadTask& task) {
    TaskEntry entry;
    TakeStored(entry, task);
    entry.agent = task.agent;
    entry.done = entry.counted;
    entry.state = StateOfFlag(task.flag);
    if (entry.state != kStateFailed) {
        entry.failure.clear();
    }
    return entry;
}

DownloadTask StoredForm(const TaskEntry& task) {
    DownloadTask record;
    record.frmPge = task.page;
    record.name = task.name;
    record.path = task.path;
    record.size = task.sizeKnown ? std::to_string(task.size) : "";
    record.downloadedSize = std::to_string(task.counted);
    record.prxIP = task.prxIP;
    record.prxPort = task.prxPort;
    record.prxName = task.prxName;
    record.prxPwd = task.prxPwd;
    record.fileLink = task.fileLink;
    // A task that is not running when the program ends is paused at the next start: "1" says it ran.
    record.flag = std::to_string(task.state == kStatePreparing ? kStateDownloading : task.state);
    record.type = task.type;
    record.agent = task.agent;
    record.etag = task.etag;
    record.lastModified = task.lastModified;
    record.error = task.state == kStateFailed ? task.failure : "";
    record.digest = task.digest;
    record.gameFolder = task.gameFolder;
    return record;
}

std::vector<TaskId> TaskBook::Load(std::vector<TaskEntry> entries, std::vector<CompletedItem> finished) {
    std::vector<TaskId> ids;
    {
        std::lock_guard lock(mutex_);
        ++version_;
        for (TaskEntry& entry : entries) {
            entry.id = ++lastId_;
            ids.push_back(entry.id);
            entry.version = version_;
            entries_.emplace_hint(entries_.end(), entry.id, std::move(entry));
        }
        for (CompletedItem& item : finished) {
            finished_.push_back(std::move(item));
        }
    }
    Changed();
    return ids;
}

void TaskBook::QueueLocked(StoreChange change) {
    storeChanges_.push_back(std::move(change));
    storeReady_.notify_all();
}

TaskId TaskBook::Add(TaskEntry entry) {
    TaskId id = kNoTask;
    {
        std::lock_guard lock(mutex_);
        id = ++lastId_;
        entry.id = id;
        entry.version = ++version_;
        QueueLocked({StoreChange::Kind::Add, id, StoredForm(entry), {}});
        entries_.emplace(id, std::move(entry));
    }
    Changed();
    return id;
}

bool TaskBook::Remove(TaskId id) {
    {
        std::lock_guard lock(mutex_);
        auto found = entries_.find(id);
        if (found == entries_.end()) {
            return false;
        }
        DownloadTask key;
        key.frmPge = found->second.page;
        QueueLocked({StoreChange::Kind::Remove, id, std::move(key), {}});
        entries_.erase(found);
        removed_.emplace_back(++version_, id);
    }
    Changed();
    return true;
}

bool TaskBook::Update(TaskId id, const std::function<void(TaskEntry&)>& change, Saving saving) {
    {
        std::lock_guard lock(mutex_);
        auto found = entries_.find(id);
        if (found == entries_.end()) {
            return false;
        }
        change(found->second);
        found->second.version = ++version_;
        if (saving == Saving::Now) {
            QueueLocked({StoreChange::Kind::Save, id, StoredForm(found->second), {}});
        }
    }
    Changed();
    return true;
}

bool TaskBook::Finish(TaskId id, CompletedItem item) {
    {
        std::lock_guard lock(mutex_);
        auto found = entries_.find(id);
        if (found == entries_.end()) {
            return false;
        }
        DownloadTask key;
        key.frmPge = found->second.page;
        QueueLocked({StoreChange::Kind::Finish, id, std::move(key), item});
        finished_.push_front(std::move(item));
        entries_.erase(found);
        removed_.emplace_back(++version_, id);
    }
    Changed();
    return true;
}

std::optional<TaskEntry> TaskBook::Get(TaskId id) const {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(id);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return found->second;
}

TaskId TaskBook::FindPage(const std::string& page) const {
    std::lock_guard lock(mutex_);
    for (const auto& [id, entry] : entries_) {
        if (entry.page == page) {
            return id;
        }
    }
    return kNoTask;
}

std::vector<TaskId> TaskBook::Ids() const {
    std::lock_guard lock(mutex_);
    std::vector<TaskId> ids;
    ids.reserve(entries_.size());
    for (const auto& entry : entries_) {
        ids.push_back(entry.first);
    }
    return ids;
}

std::size_t TaskBook::Count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::vector<CompletedItem> TaskBook::FinishedTasks() const {
    std::lock_guard lock(mutex_);
    return {finished_.begin(), finished_.end()};
}

bool TaskBook::RemoveFinished(const std::string& page) {
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(finished_.begin(), finished_.end(),
                                  [&page](const CompletedItem& item) { return item.frmPge == page; });
        if (found == finished_.end()) {
            return false;
        }
        CompletedItem key;
        key.frmPge = page;
        QueueLocked({StoreChange::Kind::RemoveFinished, kNoTask, {}, std::move(key)});
        finished_.erase(found);
        ++version_;
    }
    Changed();
    return true;
}

bool TaskBook::UpdateFinished(const std::string& page, const std::function<void(CompletedItem&)>& change) {
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(finished_.begin(), finished_.end(),
                                  [&page](const CompletedItem& item) { return item.frmPge == page; });
        if (found == finished_.end()) {
            return false;
        }
        change(*found);
        QueueLocked({StoreChange::Kind::SaveFinished, kNoTask, {}, *found});
        ++version_;
    }
    Changed();
    return true;
}

bool TaskBook::IsFinishedFile(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return std::any_of(finished_.begin(), finished_.end(),
                       [&path](const CompletedItem& item) { return item.path == path; });
}

PageLocation TaskBook::LocatePage(const std::string& page) const {
    std::lock_guard lock(mutex_);
    if (std::any_of(entries_.begin(), entries_.end(),
                    [&page](const auto& entry) { return entry.second.page == page; })) {
        return kPageInDownloadList;
    }
    if (std::any_of(finished_.begin(), finished_.end(),
                    [&page](const CompletedItem& item) { return item.frmPge == page; })) {
        return kPageCompleted;
    }
    return kPageNew;
}

TaskBook::Changes TaskBook::ChangesSince(uint64_t version) const {
    std::lock_guard lock(mutex_);
    Changes changes;
    changes.version = version_;
    for (const auto& [id, entry] : entries_) {
        if (entry.version > version) {
            changes.changed.push_back(entry);
        }
    }
    // The log is in version order: only its tail is new to this follower.
    auto first = std::upper_bound(removed_.begin(), removed_.end(), version,
                                  [](uint64_t seen, const auto& removal) { return seen < removal.first; });
    for (auto it = first; it != removed_.end(); ++it) {
        changes.removed.push_back(it->second);
    }
    return changes;
}

std::vector<StoreChange> TaskBook::TakeStoreChanges(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    storeReady_.wait_for(lock, limit, [this] { return !storeChanges_.empty() || storeWake_; });
    storeWake_ = false;
    std::vector<StoreChange> taken;
    taken.swap(storeChanges_);
    return taken;
}

void TaskBook::WakeStore() {
    std::lock_guard lock(mutex_);
    storeWake_ = true;
    storeReady_.notify_all();
}

void TaskBook::Changed() {
    if (notify_) {
        notify_();
    }
}

}  // namespace tarvane
