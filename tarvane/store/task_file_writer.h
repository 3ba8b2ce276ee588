#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tarvane/engine/task_book.h"
#include "tarvane/store/task_files.h"

namespace tarvane {

// Writes download.xml and completed.xml behind the book, on a thread of its own: every store change
// in the order the book made it, several at once in one save of a file, a task's older saves passed
// over for its newest. While the files refuse writes (a read-only or full folder) the changes wait in
// memory and are tried again every `retryEvery`; the refusal is reported once a spell.
class TaskFileWriter {
public:
    TaskFileWriter(TaskBook& book, TaskFiles& files, const std::string& programDirectory,
                   std::chrono::milliseconds retryEvery = std::chrono::seconds(1));
    ~TaskFileWriter();
    TaskFileWriter(const TaskFileWriter&) = delete;
    TaskFileWriter& operator=(const TaskFileWriter&) = delete;

    // Called on the writer's thread with the file that refused the changes. Set before Start.
    void OnUnsaved(std::function<void(const std::string& file)> report) { report_ = std::move(report); }
    void Start();
    // Waits until every change the book made before the call has been tried on the files: true when
    // they hold them; false when they refused (then it does not wait for them to accept) or the time is up.
    bool Flush(std::chrono::milliseconds limit);
    // Flushes for at most `limit`, then ends the thread.
    void Stop(std::chrono::milliseconds limit);
    // Whether changes wait for the files to take them.
    bool HasUnsaved() const;

private:
    void Loop();
    // Writes what waits, in order; false when a file refused it (what is left still waits).
    bool WritePending();

    TaskBook& book_;
    TaskFiles& files_;
    std::string downloadFile_;
    std::string completedFile_;
    std::chrono::milliseconds retryEvery_;
    std::function<void(const std::string&)> report_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::condition_variable written_;
    std::vector<StoreChange> pending_;  // taken from the book, not yet written
    uint64_t taken_ = 0;                // flush rounds: each takes what the book had
    uint64_t writtenRound_ = 0;
    bool refused_ = false;
    bool reported_ = false;
};

}  // namespace tarvane
