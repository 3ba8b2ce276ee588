#pragma once

#include <cstdint>
#include <string>

namespace tarvane {

// Identity of a task in the engine: given when the task is listed, kept while others come and go,
// never given again. Commands, workers and the waiting queue name tasks by it; the window maps it to
// a row only where the rows live, at the moment it is used.
using TaskId = std::uint64_t;
inline constexpr TaskId kNoTask = 0;

// Task state numbers, stored as the `flag` text of a task.
enum TaskState : int {
    kStatePreparing = -1,
    kStateNone = 0,  // a stored flag that is empty, "0" or not a number
    kStateDownloading = 1,
    kStatePaused = 2,
    kStateFailed = 3,
    kStateCompleted = 4,
};

// One download, as stored in an item of download.xml. All texts are code page 936.
struct DownloadTask {
    std::string frmPge;          // game page link; the key of the task in both task files
    std::string name;            // file name without extension
    std::string path;            // folder the file is saved into
    std::string size;            // total size in bytes, decimal text; empty before the first probe
    std::string downloadedSize;  // bytes counted as downloaded, decimal text
    std::string prxIP;           // proxy host; empty means a direct connection
    int prxPort = 0;
    std::string prxName;
    std::string prxPwd;
    std::string fileLink;  // the real download address
    std::string flag;      // task state number as text
    std::string type;      // extension without the point, or "未知" in 936
    std::string agent;     // user-agent of every request of the task
    // Written after the others, only when known: the file's validators, so that a resume never mixes
    // two versions of a file, why the task failed last, and the server's digest of the whole file.
    std::string etag;
    std::string lastModified;
    std::string error;   // plain Chinese, code page 936; empty unless the task failed
    std::string digest;  // "sha-256=:BASE64:" or "md5=:BASE64:"
    // The game folder an unpack of the finished file goes into, chosen before it begins: a folder
    // of that name left by a kill is the task's own.
    std::string gameFolder;

    bool operator==(const DownloadTask&) const = default;
};

// The argument of task creation: a new task (resolve != 0) or a restart of the task `id`.
struct AddTaskRequest {
    DownloadTask task;
    int resolve = 0;
    TaskId id = kNoTask;
};

// What starts one worker: the stored task and its id; also the entry of the waiting queue.
struct TaskLaunch : DownloadTask {
    TaskId id = kNoTask;
};

// One finished download, as stored in an item of completed.xml. All texts are code page 936.
struct CompletedItem {
    std::string name;
    std::string size;
    std::string type;
    std::string frmPge;
    std::string fileLink;
    std::string path;     // the finished file: folder, "/", name, ".", type
    std::string cmpTime;  // "%Y-%m-%d %H:%M:%S", local time
    // Written only when set, after the others: the folder the archive was unpacked into, and why
    // it could not be unpacked.
    std::string gameFolder;
    std::string unpackFailure;
};

// Where a page link is known: a listed task, a finished download, or neither.
enum PageLocation : int {
    kPageNew = 0,
    kPageInDownloadList = 1,
    kPageCompleted = 2,
};

// Columns of the task list view.
enum TaskColumn : int {
    kColumnState = 0,
    kColumnName = 1,
    kColumnSize = 2,
    kColumnPercent = 3,
    kColumnSpeed = 4,
    kColumnTimeLeft = 5,
    kColumnPage = 6,
    kColumnType = 7,
    kColumnLink = 8,
    kTaskColumnCount = 9,
};

// Row images of the task list view.
enum TaskImage : int {
    kImageIdle = 0,
    kImageFailed = 1,
    kImageDownloading = 2,
};

}  // namespace tarvane
