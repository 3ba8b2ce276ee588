#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tarvane/engine/task_store.h"
#include "tarvane/store/task_files.h"

namespace tarvane {

// The engine's task store on download.xml and completed.xml in the program directory. A change that
// cannot be written (a read-only or full folder) is kept in memory, in order, and written before
// the next change; the first such failure is reported once until the files take changes again.
class TaskFileStore : public TaskStore {
public:
    TaskFileStore(TaskFiles& files, const std::string& programDirectory);

    // Called once when changes start to be kept in memory, with the file that refused them; on the
    // thread of the change (often a worker's).
    void OnUnsaved(std::function<void(const std::string& file)> report) { report_ = std::move(report); }

    bool AddDownload(const DownloadTask& task) override;
    void UpdateDownload(const std::string& frmPge, const DownloadTask& task) override;
    bool SetDownloadField(const std::string& frmPge, const std::string& field, const std::string& value) override;
    std::string GetDownloadField(const std::string& frmPge, const std::string& field) override;
    DownloadTask GetDownload(const std::string& frmPge) override;
    bool DeleteDownload(const std::string& frmPge) override;
    bool AddCompleted(const DownloadTask& task) override;
    bool HasUnsaved(const std::string& frmPge) override;
    bool IsCompletedFile(const std::string& path) override;
    std::vector<DownloadTask> ListDownloads() override;

    // Writes what is kept in memory; true when nothing is left.
    bool SaveKept();

private:
    // Runs a change; one the files could not write is kept (and answers true: it is taken).
    // A `progress` change replaces the kept one of the same task right before it, so a long transfer
    // into a read-only folder keeps one state, not one a save interval.
    bool Change(const std::string& frmPge, const std::function<bool()>& change, bool progress = false);
    bool SaveKeptLocked();

    TaskFiles& files_;
    std::string downloadFile_;
    std::string completedFile_;
    std::function<void(const std::string&)> report_;
    std::mutex mutex_;
    struct Kept {
        std::string frmPge;
        std::function<bool()> change;
        bool progress = false;
    };
    std::vector<Kept> kept_;
    bool reported_ = false;
};

}  // namespace tarvane
