#include "tarvane/store/task_file_writer.h"

#include <algorithm>
#include <set>

namespace tarvane {

namespace {

using Kind = StoreChange::Kind;

// A task's save is passed over when a later one of the same task follows: only the newest counts.
std::vector<StoreChange> Coalesced(std::vector<StoreChange> changes) {
    std::set<TaskId> savedLater;
    std::vector<StoreChange> kept;
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        if (it->kind == Kind::Save && !savedLater.insert(it->id).second) {
            continue;
        }
        kept.push_back(std::move(*it));
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace

TaskFileWriter::TaskFileWriter(TaskBook& book, TaskFiles& files, const std::string& programDirectory,
                               std::chrono::milliseconds retryEvery)
    : book_(book),
      files_(files),
      downloadFile_(programDirectory + kDownloadFileName),
      completedFile_(programDirectory + kCompletedFileName),
      retryEvery_(retryEvery) {}

TaskFileWriter::~TaskFileWriter() {
    Stop(std::chrono::seconds(2));
}

void TaskFileWriter::Start() {
    if (!thread_.joinable()) {
        stop_ = false;
        thread_ = std::thread([this] { Loop(); });
    }
}

void TaskFileWriter::Loop() {
    for (;;) {
        uint64_t round = 0;
        std::chrono::milliseconds wait{500};
        {
            std::lock_guard lock(mutex_);
            round = taken_;
            // A flush asked for while the last round was under way may have had its wake taken by that
            // round: its own round goes at once instead of after the wait.
            wait = taken_ > writtenRound_ ? std::chrono::milliseconds(0) : refused_ ? retryEvery_ : wait;
        }
        // Read before the changes are taken: a flush asked for by then finds its changes among them.
        std::vector<StoreChange> changes = book_.TakeStoreChanges(wait);
        {
            std::lock_guard lock(mutex_);
            for (StoreChange& change : changes) {
                pending_.push_back(std::move(change));
            }
        }
        bool written = WritePending();
        {
            std::lock_guard lock(mutex_);
            writtenRound_ = round;
            refused_ = !written;
            if (written) {
                reported_ = false;
            }
        }
        written_.notify_all();
        if (stop_) {
            return;
        }
    }
}

bool TaskFileWriter::WritePending() {
    std::vector<StoreChange> pending;
    {
        std::lock_guard lock(mutex_);
        pending.swap(pending_);
    }
    pending = Coalesced(std::move(pending));
    std::size_t done = 0;  // changes wholly written
    std::vector<TaskFiles::DownloadChange> batch;
    std::size_t batchEnd = 0;
    std::string refusedFile;
    auto writeBatch = [&] {
        if (!batch.empty() && !files_.ApplyDownloadChanges(downloadFile_, batch)) {
            refusedFile = downloadFile_;
            return false;
        }
        batch.clear();
        done = batchEnd;
        return true;
    };
    for (std::size_t i = 0; i < pending.size() && refusedFile.empty(); ++i) {
        StoreChange& change = pending[i];
        using DownloadKind = TaskFiles::DownloadChange::Kind;
        switch (change.kind) {
            case Kind::Add:
                batch.push_back({DownloadKind::Add, change.task});
                break;
            case Kind::Save:
                batch.push_back({DownloadKind::Update, change.task});
                break;
            case Kind::Remove:
                batch.push_back({DownloadKind::Delete, change.task});
                break;
            case Kind::Finish:
                // The finished entry is in completed.xml before the item leaves download.xml, so a
                // kill in between leaves the task in both files (tidied at the next start), never in neither.
                if (!writeBatch()) {
                    break;
                }
                if (!files_.AddCompletedItem(completedFile_, change.finished)) {
                    refusedFile = completedFile_;
                    break;
                }
                change.kind = Kind::Remove;  // what is left of it, should the item refuse to go
                batch.push_back({DownloadKind::Delete, change.task});
                break;
            case Kind::SaveFinished:
                if (!writeBatch()) {
                    break;
                }
                // An entry removed since has nothing left to take it.
                if (!files_.UpdateCompletedItem(completedFile_, change.finished) &&
                    files_.ItemExists(completedFile_, "frmPge", change.finished.frmPge)) {
                    refusedFile = completedFile_;
                    break;
                }
                done = i + 1;
                break;
            case Kind::RemoveFinished:
                if (!writeBatch()) {
                    break;
                }
                if (!files_.DeleteItem(completedFile_, "frmPge", change.finished.frmPge) &&
                    files_.ItemExists(completedFile_, "frmPge", change.finished.frmPge)) {
                    refusedFile = completedFile_;
                    break;
                }
                done = i + 1;
                break;
        }
        batchEnd = i + 1;
    }
    if (refusedFile.empty()) {
        writeBatch();
    }
    if (refusedFile.empty()) {
        return true;
    }
    {
        std::lock_guard lock(mutex_);
        std::vector<StoreChange> left(std::make_move_iterator(pending.begin() + static_cast<std::ptrdiff_t>(done)),
                                      std::make_move_iterator(pending.end()));
        for (StoreChange& change : pending_) {
            left.push_back(std::move(change));
        }
        pending_.swap(left);
        if (reported_) {
            return false;
        }
        reported_ = true;
    }
    if (report_) {
        report_(refusedFile);
    }
    return false;
}

bool TaskFileWriter::Flush(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return false;
    }
    uint64_t round = 0;
    {
        std::lock_guard lock(mutex_);
        round = ++taken_;
    }
    book_.WakeStore();
    std::unique_lock lock(mutex_);
    return written_.wait_for(lock, limit, [&] { return writtenRound_ >= round; }) && !refused_;
}

void TaskFileWriter::Stop(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return;
    }
    Flush(limit);
    stop_ = true;
    book_.WakeStore();
    thread_.join();
}

bool TaskFileWriter::HasUnsaved() const {
    std::lock_guard lock(mutex_);
    return !pending_.empty() || refused_;
}

}  // namespace tarvane
