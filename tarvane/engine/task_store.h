#pragma once

#include <string>
#include <vector>

#include "tarvane/engine/task_record.h"

namespace tarvane {

// What the engine needs of the task files: download.xml items keyed by their page link, and the
// completed list. The store implements it on the two files.
class TaskStore {
public:
    virtual ~TaskStore() = default;

    // Appends a new unfinished task.
    virtual bool AddDownload(const DownloadTask& task) = 0;
    // Rewrites every field of the task but its agent.
    virtual void UpdateDownload(const std::string& frmPge, const DownloadTask& task) = 0;
    virtual bool SetDownloadField(const std::string& frmPge, const std::string& field, const std::string& value) = 0;
    virtual std::string GetDownloadField(const std::string& frmPge, const std::string& field) = 0;
    // The whole stored task; an empty record when the page has none.
    virtual DownloadTask GetDownload(const std::string& frmPge) = 0;
    virtual bool DeleteDownload(const std::string& frmPge) = 0;
    // Puts a finished download at the top of the completed list; `task.path` is its folder.
    virtual bool AddCompleted(const DownloadTask& task) = 0;
    // Whether changes for the page are still waiting to be written (the files refused them).
    virtual bool HasUnsaved(const std::string& frmPge) = 0;
    // Whether a finished download's file is at `path` (the full path of a data file).
    virtual bool IsCompletedFile(const std::string& path) = 0;
    // Every unfinished task, in file order.
    virtual std::vector<DownloadTask> ListDownloads() = 0;
};

}  // namespace tarvane
