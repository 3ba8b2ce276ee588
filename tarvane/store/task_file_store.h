#pragma once

#include <string>

#include "tarvane/engine/task_store.h"
#include "tarvane/store/task_files.h"

namespace tarvane {

// The engine's task store on download.xml and completed.xml in the program directory.
class TaskFileStore : public TaskStore {
public:
    TaskFileStore(TaskFiles& files, const std::string& programDirectory)
        : files_(files),
          downloadFile_(programDirectory + kDownloadFileName),
          completedFile_(programDirectory + kCompletedFileName) {}

    bool AddDownload(const DownloadTask& task) override { return files_.AddItem(downloadFile_, task, false); }
    void UpdateDownload(const std::string& frmPge, const DownloadTask& task) override {
        files_.UpdateTask(downloadFile_, "frmPge", frmPge, task);
    }
    bool SetDownloadField(const std::string& frmPge, const std::string& field, const std::string& value) override {
        return files_.SetItemField(downloadFile_, "frmPge", frmPge, field, value);
    }
    std::string GetDownloadField(const std::string& frmPge, const std::string& field) override {
        return files_.GetItemField(downloadFile_, "frmPge", frmPge, field);
    }
    DownloadTask GetDownloadByLink(const std::string& fileLink) override {
        return files_.GetTask(downloadFile_, "fileLink", fileLink);
    }
    bool DeleteDownload(const std::string& frmPge) override {
        return files_.DeleteItem(downloadFile_, "frmPge", frmPge);
    }
    bool AddCompleted(const DownloadTask& task) override { return files_.AddItem(completedFile_, task, true); }
    bool IsCompletedFile(const std::string& path) override {
        // Not ItemExists: an unreadable file must not make every data file look taken.
        return files_.GetItemField(completedFile_, "path", path, "path") == path;
    }

private:
    TaskFiles& files_;
    std::string downloadFile_;
    std::string completedFile_;
};

}  // namespace tarvane
