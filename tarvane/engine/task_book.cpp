#include "tarvane/engine/task_book.h"

#include "tarvane/engine/byte_count.h"

namespace tarvane {

TaskEntry EntryFromStored(const DownloadTask& task) {
    TaskEntry entry;
    entry.page = task.frmPge;
    entry.name = task.name;
    entry.type = task.type;
    entry.fileLink = task.fileLink;
    entry.size = ByteCount(task.size);
    entry.done = ByteCount(task.downloadedSize);
    entry.state = task.flag == "3" ? kStateFailed : kStatePaused;
    entry.failure = task.error;
    return entry;
}

TaskId TaskBook::Add(TaskEntry entry) {
    TaskId id = kNoTask;
    {
        std::lock_guard lock(mutex_);
        id = ++lastId_;
        entry.id = id;
        entry.version = ++version_;
        entries_.emplace(id, std::move(entry));
    }
    Changed();
    return id;
}

void TaskBook::AddAll(std::vector<TaskEntry> entries) {
    {
        std::lock_guard lock(mutex_);
        ++version_;
        for (TaskEntry& entry : entries) {
            entry.id = ++lastId_;
            entry.version = version_;
            entries_.emplace_hint(entries_.end(), entry.id, std::move(entry));
        }
    }
    Changed();
}

bool TaskBook::Remove(TaskId id) {
    {
        std::lock_guard lock(mutex_);
        if (entries_.erase(id) == 0) {
            return false;
        }
        removed_.emplace_back(++version_, id);
    }
    Changed();
    return true;
}

bool TaskBook::Update(TaskId id, const std::function<void(TaskEntry&)>& change) {
    {
        std::lock_guard lock(mutex_);
        auto found = entries_.find(id);
        if (found == entries_.end()) {
            return false;
        }
        change(found->second);
        found->second.version = ++version_;
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

TaskBook::Changes TaskBook::ChangesSince(uint64_t version) const {
    std::lock_guard lock(mutex_);
    Changes changes;
    changes.version = version_;
    for (const auto& [id, entry] : entries_) {
        if (entry.version > version) {
            changes.changed.push_back(entry);
        }
    }
    // What the follower asked past has been taken: the log keeps only what it has not seen yet.
    std::erase_if(removed_, [version](const auto& removal) { return removal.first <= version; });
    for (const auto& removal : removed_) {
        changes.removed.push_back(removal.second);
    }
    return changes;
}

void TaskBook::Changed() {
    if (notify_) {
        notify_();
    }
}

}  // namespace tarvane
