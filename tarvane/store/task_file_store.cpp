#include "tarvane/store/task_file_store.h"

namespace tarvane {
namespace {

// Set by the files' failure call on the thread whose change failed to be written.
thread_local std::string unsavedFile;

}  // namespace

TaskFileStore::TaskFileStore(TaskFiles& files, const std::string& programDirectory)
    : files_(files),
      downloadFile_(programDirectory + kDownloadFileName),
      completedFile_(programDirectory + kCompletedFileName) {
    files_.OnSaveFailed([](const std::string& file) { unsavedFile = file; });
}

bool TaskFileStore::SaveKeptLocked() {
    while (!kept_.empty()) {
        unsavedFile.clear();
        kept_.front().change();
        if (!unsavedFile.empty()) {
            return false;
        }
        kept_.erase(kept_.begin());
    }
    reported_ = false;
    return true;
}

bool TaskFileStore::SaveKept() {
    std::lock_guard lock(mutex_);
    return SaveKeptLocked();
}

bool TaskFileStore::Change(const std::string& frmPge, const std::function<bool()>& change, bool progress) {
    std::lock_guard lock(mutex_);
    // Changes reach the files in the order they were made.
    if (SaveKeptLocked()) {
        unsavedFile.clear();
        bool done = change();
        if (unsavedFile.empty()) {
            return done;
        }
    }
    if (progress && !kept_.empty() && kept_.back().progress && kept_.back().frmPge == frmPge) {
        kept_.back().change = change;
    } else {
        kept_.push_back({frmPge, change, progress});
    }
    if (!reported_ && report_) {
        reported_ = true;
        report_(unsavedFile);
    }
    return true;
}

bool TaskFileStore::AddDownload(const DownloadTask& task) {
    return Change(task.frmPge, [this, task] { return files_.AddItem(downloadFile_, task, false); });
}

void TaskFileStore::UpdateDownload(const std::string& frmPge, const DownloadTask& task) {
    Change(
        frmPge, [this, frmPge, task] { return files_.UpdateTask(downloadFile_, "frmPge", frmPge, task); }, true);
}

bool TaskFileStore::SetDownloadField(const std::string& frmPge, const std::string& field, const std::string& value) {
    return Change(frmPge, [this, frmPge, field, value] {
        return files_.SetItemField(downloadFile_, "frmPge", frmPge, field, value);
    });
}

std::string TaskFileStore::GetDownloadField(const std::string& frmPge, const std::string& field) {
    return files_.GetItemField(downloadFile_, "frmPge", frmPge, field);
}

DownloadTask TaskFileStore::GetDownload(const std::string& frmPge) {
    return files_.GetTask(downloadFile_, "frmPge", frmPge);
}

bool TaskFileStore::DeleteDownload(const std::string& frmPge) {
    return Change(frmPge, [this, frmPge] { return files_.DeleteItem(downloadFile_, "frmPge", frmPge); });
}

bool TaskFileStore::AddCompleted(const DownloadTask& task) {
    return Change(task.frmPge, [this, task] { return files_.AddItem(completedFile_, task, true); });
}

bool TaskFileStore::IsCompletedFile(const std::string& path) {
    // Not ItemExists: an unreadable file must not make every data file look taken.
    return files_.GetItemField(completedFile_, "path", path, "path") == path;
}

bool TaskFileStore::HasUnsaved(const std::string& frmPge) {
    std::lock_guard lock(mutex_);
    for (const Kept& kept : kept_) {
        if (kept.frmPge == frmPge) {
            return true;
        }
    }
    return false;
}

std::vector<DownloadTask> TaskFileStore::ListDownloads() {
    return files_.ListTasks(downloadFile_);
}

}  // namespace tarvane
