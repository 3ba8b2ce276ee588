#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tarvane/engine/clock.h"
#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/list_view.h"
#include "tarvane/engine/progress.h"
#include "tarvane/engine/task_record.h"
#include "tarvane/engine/task_store.h"
#include "tarvane/engine/worker_control.h"
#include "tarvane/engine/worker_table.h"

namespace tarvane {

// What every worker shares with the program; owned by the program, outliving all workers.
struct EngineContext {
    TaskTables& tables;
    TaskListView& list;
    TaskStore& store;
    SoundPlayer& sound;
    const Clock& clock;
    std::string programDirectory;  // ends in "/": config.ini and tmp.txt live there
    // How often a running transfer records its count, so a crash loses at most this much.
    double saveIntervalMs = 3000;
};

// One download on its own thread: probe, open or resume the data file, transfer, record the outcome.
class TransferWorker : public WorkerControl {
public:
    // `stopAll`, when given, pauses the worker as soon as it is registered (the program is ending).
    TransferWorker(EngineContext& context, const TaskLaunch& launch, const std::atomic<bool>* stopAll = nullptr);
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Runs the transfer and records its outcome (the thread body without the start of the next
    // waiting task). The worker is registered in the tables before. Answers the final state.
    int Run();

    // For the libcurl callbacks.
    size_t WriteData(const char* data, size_t bytes);
    int OnProgress(double total, double received);

private:
    enum class ProbeResult { Ok, Failed, Paused };
    ProbeResult Probe();
    bool OpenDataFile();
    int Transfer();
    bool RestartDataFile();
    void Finish(int code);
    // Ends a task that did not complete: records its state unless its row was deleted meanwhile.
    void EndUnfinished(int finalState);
    void Complete();
    // Completion check: the bytes on disk equal the whole-file size the server announced.
    bool HoldsAnnouncedSize();
    DownloadTask StateRecord(int flag) const;
    void RecordProgress(bool force);
    void SetImage(int image);
    void SetText(int column, const std::string& text);

    EngineContext& context_;
    const std::atomic<bool>* stopAll_;
    TaskLaunch launch_;
    std::string agent_;
    std::string type_;
    std::string sizeText_;
    std::string dataPath_;
    std::FILE* file_ = nullptr;
    void* handle_ = nullptr;  // CURL*
    TransferProgress progress_;
    bool rangeRequested_ = false;
    bool rangeRejected_ = false;
    bool responseChecked_ = false;
    bool httpError_ = false;
    int64_t recordedCount_ = -1;
    double lastRecordMs_ = 0;
};

// Parses a stored byte count: leading decimal digits, 0 for anything else (64-bit).
int64_t ParseByteCount(const std::string& text);

}  // namespace tarvane
