#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tarvane/engine/byte_count.h"
#include "tarvane/engine/clock.h"
#include "tarvane/engine/data_file.h"
#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/file_digest.h"
#include "tarvane/engine/host_budget.h"
#include "tarvane/engine/link_resolver.h"
#include "tarvane/engine/progress.h"
#include "tarvane/engine/segment_map.h"
#include "tarvane/engine/segmented_transfer.h"
#include "tarvane/engine/speed_limiter.h"
#include "tarvane/engine/task_book.h"
#include "tarvane/engine/task_record.h"
#include "tarvane/engine/worker_control.h"
#include "tarvane/engine/worker_table.h"

namespace tarvane {

// How a transfer that stalls or is cut off is tried again from what is on disk.
struct RetrySettings {
    // Nothing received for this long (whole seconds, at least one) ends an attempt.
    std::chrono::milliseconds stallTime{std::chrono::seconds(60)};
    // The wait before each further attempt; as many attempts in a row without new data as waits.
    std::vector<std::chrono::milliseconds> waits{std::chrono::seconds(2), std::chrono::seconds(4),
                                                 std::chrono::seconds(8), std::chrono::seconds(16),
                                                 std::chrono::seconds(32)};

    // The stall time in whole seconds, at least one, as libcurl and the reasons take it.
    long StallSeconds() const { return std::max<long>(1, static_cast<long>((stallTime.count() + 999) / 1000)); }
};

// What every worker shares with the program; owned by the program, outliving all workers.
struct EngineContext {
    TaskTables& tables;
    // The tasks: every change of a task, and the files written behind it.
    TaskBook& book;
    SoundPlayer& sound;
    const Clock& clock;
    std::string programDirectory;  // ends in "/": config.ini and tmp.txt live there
    // How often a running transfer records its count, so a crash loses at most this much.
    double saveIntervalMs = 3000;
    // Asked again for a game page whose stored file link has expired; none: links are not renewed.
    const LinkResolver* resolver = nullptr;
    RetrySettings retry;
    // How many connections one large file may use at once (1-16); unset: 8.
    std::function<int()> connectionLimit{};
    // Told of every task that finishes or fails for good; none: nobody is.
    TaskEnds* ends = nullptr;
    // The one limit of all transfers together; none: no limit.
    SpeedLimiter* speedLimiter = nullptr;
    // The connections of all tasks to one host; none: no budget.
    HostBudget* hostBudget = nullptr;
    // Waits until the task files hold every change made so far (one attempt while they refuse
    // changes); none: nothing is written behind the book.
    std::function<bool()> saveNow{};
    // Held by a part of a set from its unpack until it is finished.
    std::mutex setsMutex{};
};

// One download on its own thread: probe, open or resume the data file, transfer, record the outcome.
class TransferWorker : public WorkerControl {
public:
    // `stopAll`, when given, pauses the worker as soon as it is registered (the program is ending).
    TransferWorker(EngineContext& context, const TaskLaunch& launch, const std::atomic<bool>* stopAll = nullptr);
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // How a run ended, and why when it failed.
    struct RunOutcome {
        enum class Kind { Completed, Paused, Failed };
        Kind kind = Kind::Failed;
        std::string reason;  // plain Chinese, code page 936; empty unless the run failed
    };

    // Runs the transfer and records its outcome (the thread body without the start of the next
    // waiting task). The worker is registered in the tables before.
    RunOutcome Run();

private:
    enum class ProbeResult { Ok, Failed, Paused, Expired, Retry };
    ProbeResult Probe();
    // Waits for a connection of the host's budget; false when the task is paused meanwhile.
    bool WaitForHostPlace(HostShare& host);
    // Probes until the file answers, renewing an expired link once and trying again what may mend.
    ProbeResult ProbeWithRetries();
    bool OpenDataFile();
    // Takes the segment map beside the data file when it still describes the bytes on disk.
    void AdoptSegmentMap();
    void DropSegmentMap();
    int ConnectionLimit() const;
    // Whether the file is large enough and the server fit to fetch it over several connections.
    bool SplitWanted() const;
    bool ConfigureConnection(void* handle);
    void ShowConnections(int connections);
    // Bytes on disk of the file the task knows; and a measure that grows with every byte fetched.
    int64_t BytesOnDisk() const;
    int64_t Fetched() const;
    // Where the next attempt begins: on from the disk when its bytes are still the server's file,
    // else the whole file (the bytes on disk stay until an answer has passed its checks).
    void PlanAttempt(bool startOfRun);
    bool RoomForTheRest();
    // One attempt: the rest of the file over one connection or several.
    SegmentedResult Transfer();
    // What the task knows of the file from an answer its bytes now come from.
    void AnswerAccepted(const AcceptedAnswer& answer);
    // A server that turned ranges or connections away: fewer connections from now on.
    void FallBack(const SegmentedResult& result);
    // Attempts until the file is whole, the task is paused, or what went wrong cannot be mended.
    RunOutcome TransferWithRetries();
    // Asks the parse service for the file of a page taken before it was looked up; true when it
    // named one, now stored.
    bool LookUpFile();
    // Asks the parse service again for the page; true when it named another link, now stored.
    bool RenewLink();
    // After a failed attempt: counts it, shows and waits out the pause before the next one. False
    // when the attempts are used up (the reason is set) or the task was paused meanwhile.
    bool WaitToRetry(bool broughtData, const std::string& reason, bool stalled);
    // What the transfer's end means, once the data file is synced and closed.
    RunOutcome Conclude(RunOutcome outcome);
    // Reads a whole file through before it counts as finished; completed, damaged or stopped.
    RunOutcome CheckWholeFile();
    // Unpacks a finished archive into its game folder when the options ask for it; completed (its
    // failure, if any, kept for the finished entry) or stopped.
    RunOutcome UnpackWholeFile();
    // A new file that did not take the old one's place: the task knows the old one as before.
    void DropReplacement();
    void ShowCheckProgress(std::int64_t done, std::int64_t total);
    // The row says what the worker does after the transfer (checking, unpacking), from 0 %.
    void ShowPhase(TaskNote note);
    // The task's outcome, when the run stops short of a transfer: paused, or failed for `reason`.
    RunOutcome Stopped(const std::string& reason) const;
    // Saves the task's stored fields as they stand, in state `flag`; false when the task has left
    // the list (deleted, or deleted and added again: its id is another's then).
    bool SaveRecord(int flag, const std::string& reason = "");
    // The same, on disk before the call returns: the item names the data file before bytes go in it.
    void SaveRecordNow(int flag);
    // Records the outcome in the task; answers it.
    RunOutcome End(RunOutcome outcome);
    // Ends a task that did not complete: records its state unless it was deleted meanwhile.
    void EndUnfinished(const RunOutcome& outcome);
    void Complete();
    // Takes the worker out of the tables; removes the data file of a task deleted meanwhile.
    void ReleaseAfterEnd();
    // Takes away the data file this worker made or opened, with its replacement and segment map.
    void RemoveDataFile();
    // Completion check: the count holds the whole-file size the server announced.
    bool WholeOnDisk();
    // The stored task as it stands, with the state `flag` and, for a failure, its reason.
    DownloadTask StateRecord(int flag, const std::string& reason = "") const;
    void RecordProgress(bool force);
    // Publishes a change of the task's figures; the window is never waited for.
    void Show(const std::function<void(TaskEntry&)>& change);

    EngineContext& context_;
    const std::atomic<bool>* stopAll_;
    TaskLaunch launch_;
    std::string agent_;
    std::string type_;        // of the data file, fixed once it is open
    std::string probedType_;  // what the last probe named
    std::string sizeText_;    // what the last probe found
    DataFile data_;
    bool dataOpened_ = false;
    LimiterShare* share_ = nullptr;  // while the transfer runs
    HostShare* host_ = nullptr;      // while the transfer runs
    TransferProgress progress_;
    // What download.xml says the bytes on disk are: replaced only by an answer that passed its checks.
    std::string storedSize_;
    std::string storedEtag_;
    std::string storedDate_;
    // Why the worker stops the transfer itself.
    enum class Refusal { None, FileGone };
    Refusal refusal_ = Refusal::None;
    int writeError_ = 0;
    bool renewed_ = false;
    int attemptsWithoutData_ = 0;
    bool noCredit_ = false;                  // the file changed on the server: only a whole file is progress now
    std::chrono::milliseconds askedWait_{};  // a busy server's Retry-After, for the next wait
    std::string etag_;                       // the file's validators as the server last named them
    // The server's digest of the whole file: of the bytes on disk, and from the last probe.
    ExpectedDigest digest_;
    ExpectedDigest probeDigest_;
    // What download.xml said of the old file while a new one is written beside it.
    struct KeptRecord {
        std::string size;
        std::string etag;
        std::string date;
        ExpectedDigest digest;
    };
    std::optional<KeptRecord> keptRecord_;
    int shownCheckTenths_ = -1;
    std::string lastModified_;
    std::string failure_;                     // why the task fails, when it does
    std::string gameFolder_;                  // where the finished archive was unpacked
    std::vector<std::string> unpackedParts_;  // what it was unpacked from
    std::string unpackFailure_;               // why it could not be
    int64_t recordedCount_ = -1;
    DownloadTask lastSaved_;  // the record saved last: progress alone goes beside the data file
    double lastRecordMs_ = 0;
    // Several connections: the map beside the data file, while there is one.
    std::optional<SegmentMap> map_;
    bool freshFile_ = false;  // created by this start: any map beside it is another download's
    bool noRanges_ = false;   // one connection for this task
    int connectionCap_ = 0;   // the most connections the server took, when it turned some away
    std::string fallbackWhy_;
    std::string shownTip_;
};

}  // namespace tarvane
