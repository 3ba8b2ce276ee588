#include "tarvane/engine/transfer_worker.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/codepage.h"
#include "platform/settings.h"
#include "tarvane/engine/answer_check.h"
#include "tarvane/engine/byte_count.h"
#include "tarvane/engine/failure_reason.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/finished_file_check.h"
#include "tarvane/engine/finished_item.h"
#include "tarvane/engine/finished_unpack.h"
#include "tarvane/engine/folder_of_path.h"

namespace tarvane {

namespace {

// How many "name(n).type" a new task tries before it gives up on a free name.
constexpr int kMaxFreeNameTries = 1000;

std::string NumberedName(const std::string& name, int number) {
    return name + "(" + std::to_string(number) + ")";
}

// A resume after a failed attempt of the same start compares this much of the disk again.
int64_t RetryOverlap(int64_t count) {
    return std::min(count, std::clamp<int64_t>(count / 20, 64 * 1024, 1024 * 1024));
}

}  // namespace

TransferWorker::TransferWorker(EngineContext& context, const TaskLaunch& launch, const std::atomic<bool>* stopAll)
    : context_(context), stopAll_(stopAll), launch_(launch), agent_(launch.agent) {}

void TransferWorker::Show(const std::function<void(TaskEntry&)>& change) {
    context_.book.Update(launch_.id, change);
}

TransferWorker::RunOutcome TransferWorker::Run() {
    if (stopAll_ != nullptr && stopAll_->load()) {
        pauseRequested = 1;
    }
    Show([](TaskEntry& task) {
        task.running = true;
        task.state = kStateDownloading;
        task.failure.clear();
    });
    // What download.xml says of the bytes on disk; it changes only with an answer that passed its checks.
    storedSize_ = launch_.size;
    etag_ = storedEtag_ = IsUsableValidator(launch_.etag) ? launch_.etag : "";
    lastModified_ = storedDate_ = IsUsableValidator(launch_.lastModified) ? launch_.lastModified : "";
    type_ = launch_.type;
    digest_ = DigestFromText(launch_.digest);

    // A page taken before the service named its file is looked up first, on this thread.
    if (launch_.fileLink.empty() && !LookUpFile()) {
        return End(Stopped(failure_));
    }
    ProbeResult probe = ProbeWithRetries();
    if (probe != ProbeResult::Ok) {
        return End(probe == ProbeResult::Paused ? RunOutcome{RunOutcome::Kind::Paused, ""} : Stopped(failure_));
    }
    Show([this](TaskEntry& task) { task.size = static_cast<int64_t>(progress_.totalSize); });
    if (!OpenDataFile()) {
        return End(Stopped(ReasonNotWritable()));
    }
    AdoptSegmentMap();
    PlanAttempt(true);
    if (!RoomForTheRest()) {
        return End(Conclude({RunOutcome::Kind::Failed, ReasonNoRoom()}));
    }
    Show([this](TaskEntry& task) {
        task.type = type_;
        task.nameShowsType = true;
    });
    LimiterShare share(context_.speedLimiter);
    HostShare host(context_.hostBudget, HostKey(launch_.fileLink));
    share_ = &share;
    host_ = &host;
    RunOutcome outcome = TransferWithRetries();
    share_ = nullptr;
    host_ = nullptr;
    return End(Conclude(outcome));
}

TransferWorker::RunOutcome TransferWorker::Stopped(const std::string& reason) const {
    if (pauseRequested.load() != 0) {
        return {RunOutcome::Kind::Paused, ""};
    }
    return {RunOutcome::Kind::Failed, reason};
}

TransferWorker::RunOutcome TransferWorker::End(RunOutcome outcome) {
    if (outcome.kind == RunOutcome::Kind::Completed) {
        outcome = CheckWholeFile();
    }
    if (outcome.kind == RunOutcome::Kind::Completed && data_.Replacing()) {
        if (data_.Commit()) {
            RemoveSegmentMap(data_.path());  // of the old file
        } else {
            outcome = {RunOutcome::Kind::Failed, ReasonNotWritable()};
        }
    }
    if (data_.Replacing()) {
        DropReplacement();
    }
    // The task stays unfinished until its folder is in place: a kill meanwhile unpacks again.
    // The parts of a set finish one at a time, so that the last of them, and only it, finds the
    // others finished and unpacks the set.
    std::unique_lock<std::mutex> setTurn;
    if (outcome.kind == RunOutcome::Kind::Completed) {
        if (IsPartOfSet(data_.path())) {
            setTurn = std::unique_lock(context_.setsMutex);
        }
        outcome = UnpackWholeFile();
    }
    if (outcome.kind == RunOutcome::Kind::Completed) {
        Complete();
    } else {
        EndUnfinished(outcome);
    }
    return outcome;
}

TransferWorker::ProbeResult TransferWorker::ProbeWithRetries() {
    for (;;) {
        ProbeResult result = Probe();
        if (result == ProbeResult::Expired) {
            if (RenewLink()) {
                continue;
            }
            return pauseRequested.load() != 0 ? ProbeResult::Paused : ProbeResult::Failed;
        }
        if (result != ProbeResult::Retry) {
            return result;
        }
        if (!WaitToRetry(false, failure_, false)) {
            return pauseRequested.load() != 0 ? ProbeResult::Paused : ProbeResult::Failed;
        }
    }
}

bool TransferWorker::LookUpFile() {
    Show([](TaskEntry& task) { task.note = TaskNote::LookingUp; });
    ParseResult parsed;
    if (context_.resolver != nullptr) {
        parsed = context_.resolver->ResolveLink(launch_.frmPge, [this] { return pauseRequested.load() != 0; });
    }
    if (pauseRequested.load() != 0) {
        return false;
    }
    if (parsed.realLink.empty()) {
        failure_ = ReasonLookupFailed(context_.resolver != nullptr ? context_.resolver->officialHost() : "");
        return false;
    }
    if (!IsWebLink(parsed.realLink)) {
        failure_ = ReasonBadLink();
        return false;
    }
    launch_.fileLink = parsed.realLink;
    launch_.name = PlainFileName(!parsed.fileName.empty() ? parsed.fileName
                                 : !launch_.name.empty()  ? launch_.name
                                                          : NameFromUrl(parsed.realLink));
    SaveRecord(kStateDownloading);
    Show([](TaskEntry& task) { task.note = TaskNote::Starting; });
    return true;
}

bool TransferWorker::RenewLink() {
    // Only a game page of the maker's site can name its file anew, and only once a start.
    if (renewed_ || context_.resolver == nullptr || !context_.resolver->IsGamePage(launch_.frmPge)) {
        return false;
    }
    renewed_ = true;
    // A pause or the program's end does not wait for the service.
    ParseResult parsed = context_.resolver->ResolveLink(launch_.frmPge, [this] { return pauseRequested.load() != 0; });
    if (pauseRequested.load() != 0) {
        return false;
    }
    if (parsed.realLink.empty() || parsed.realLink == launch_.fileLink) {
        failure_ = ReasonLinkExpired();
        return false;
    }
    if (!IsWebLink(parsed.realLink)) {
        failure_ = ReasonBadLink();
        return false;
    }
    launch_.fileLink = parsed.realLink;
    SaveRecord(kStateDownloading);
    return true;
}

bool TransferWorker::WaitToRetry(bool broughtData, const std::string& reason, bool stalled) {
    const RetrySettings& retry = context_.retry;
    int allowed = static_cast<int>(retry.waits.size());
    attemptsWithoutData_ = broughtData ? 1 : attemptsWithoutData_ + 1;
    if (attemptsWithoutData_ > allowed) {
        failure_ = allowed == 0 ? reason
                   : stalled    ? ReasonStalled(retry.StallSeconds(), allowed)
                                : ReasonAfterRetries(reason, allowed);
        return false;
    }
    Show([this, allowed](TaskEntry& task) {
        task.note = TaskNote::Retrying;
        task.retry = attemptsWithoutData_;
        task.retries = allowed;
    });
    // A pause or delete ends the wait at once.
    auto wait = std::max(retry.waits[static_cast<std::size_t>(attemptsWithoutData_ - 1)], askedWait_);
    askedWait_ = {};
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pauseRequested.load() != 0 || (stopAll_ != nullptr && stopAll_->load())) {
            pauseRequested = 1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pauseRequested.load() == 0;
}

bool TransferWorker::OpenDataFile() {
    launch_.name = PlainFileName(launch_.name);
    int64_t recorded = ByteCount(launch_.downloadedSize);
    // A task that has begun a transfer owns the data file it began with, its stored name and type,
    // whatever type the server names now or after a renewal. A new one must not touch a file that
    // carries its name.
    bool begun = !launch_.size.empty() || recorded > 0;
    type_ = begun && !launch_.type.empty() ? PlainFileName(launch_.type) : probedType_;
    std::string path;
    int fd = -1;
    // No two workers ever write one data file: each claims its path in the tables before opening it.
    if (begun) {
        path = DataFilePath(launch_.path, launch_.name, type_);
        // A finished download's file is never reopened; a missing one is started anew like a new
        // task's, since another task may have taken its name meanwhile.
        if (context_.tables.ClaimPath(this, path) && !context_.book.IsFinishedFile(path)) {
            fd = open(platform::Utf8FromAnsi(path).c_str(), O_RDWR | O_CLOEXEC);
        }
        begun = fd >= 0;
    }
    if (!begun) {
        // An empty new file is of the version just probed; recorded so, it is the task's own from now on.
        recorded = 0;
        freshFile_ = true;
        storedSize_ = sizeText_;
        storedEtag_ = etag_;
        storedDate_ = lastModified_;
        digest_ = probeDigest_;
        type_ = probedType_;
        std::string name = launch_.name;
        for (int number = 1; number <= kMaxFreeNameTries; ++number) {
            path = DataFilePath(launch_.path, name, type_);
            if (context_.tables.ClaimPath(this, path)) {
                fd = open(platform::Utf8FromAnsi(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                if (fd >= 0 || errno != EEXIST) {
                    break;
                }
            }
            name = NumberedName(launch_.name, number);
        }
        launch_.name = name;
    }
    if (fd < 0) {
        return false;
    }
    // A new file that an earlier start left unfinished beside this one is of no known version.
    unlink(platform::Utf8FromAnsi(ReplacementPath(path)).c_str());
    struct stat info {};
    fstat(fd, &info);
    // What is both counted and on disk: a count saved before a crash may be ahead of the file.
    data_.Adopt(platform::UniqueFd(fd), path, std::min<int64_t>(recorded, info.st_size));
    dataOpened_ = true;
    return true;
}

void TransferWorker::PlanAttempt(bool startOfRun) {
    int64_t count = data_.Count();
    auto total = static_cast<int64_t>(progress_.totalSize);
    // The bytes on disk belong to the file the server has now when its size is still theirs; a
    // validator that changed alone is left to the compare of the bytes that are fetched again.
    if (count > 0 && !storedSize_.empty() && storedSize_ == sizeText_ && (total <= 0 || count <= total)) {
        // A start fetches the last twentieth of the count again: write-back that a power cut kept
        // from the disk is mended, and an answer that is no continuation shows before it is written.
        data_.ContinueAt(startOfRun ? count / 20 * 19 + (count % 20) * 19 / 20 : count - RetryOverlap(count));
    } else if (count > 0 || data_.Size() > 0) {
        // Another file behind the link, or nothing usable on disk: the whole file, once it comes.
        data_.StartOver();
    } else {
        data_.ContinueAt(0);
    }
}

bool TransferWorker::RoomForTheRest() {
    if (progress_.totalSize <= 0) {
        return true;
    }
    if (data_.WouldReplace()) {
        // The new file comes beside the old one, which stays whole until then.
        struct statvfs disk {};
        return statvfs(platform::Utf8FromAnsi(std::string(FolderOfPath(data_.path()))).c_str(), &disk) != 0 ||
               progress_.totalSize <= static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize);
    }
    // The reservation itself tells whether the disk has room; where it cannot be made, the free space.
    DataFile::ReserveResult reserved = data_.Reserve(static_cast<int64_t>(progress_.totalSize));
    struct statvfs info {};
    if (reserved != DataFile::ReserveResult::Unsupported ||
        statvfs(platform::Utf8FromAnsi(std::string(FolderOfPath(data_.path()))).c_str(), &info) != 0) {
        return reserved != DataFile::ReserveResult::NoRoom;
    }
    double free = static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
    return progress_.totalSize - static_cast<double>(BytesOnDisk()) <= free;
}

TransferWorker::RunOutcome TransferWorker::TransferWithRetries() {
    using Outcome = SegmentedResult::Outcome;
    for (;;) {
        int64_t before = Fetched();
        SegmentedResult result = Transfer();
        if (refusal_ == Refusal::FileGone) {
            return {RunOutcome::Kind::Failed, ReasonForTransfer(CURLE_WRITE_ERROR, writeError_)};
        }
        if (pauseRequested.load() != 0 || result.outcome == Outcome::Stopped) {
            return {RunOutcome::Kind::Paused, ""};
        }
        FallBack(result);
        std::string reason;
        bool stalled = false;
        switch (result.outcome) {
            case Outcome::Done:
                return {RunOutcome::Kind::Completed, ""};
            case Outcome::Stopped:
                return {RunOutcome::Kind::Paused, ""};
            case Outcome::Single:
                PlanAttempt(false);
                continue;  // never an attempt of the task
            case Outcome::WebPage:
                reason = ReasonWebPage();
                break;
            case Outcome::Changed:
                // Every byte on disk is of no known version now: the next answer accepted is the whole file.
                DropSegmentMap();
                storedSize_.clear();
                noCredit_ = true;
                reason = ReasonKeepsChanging();
                break;
            case Outcome::Mismatch:
                noCredit_ = true;
                reason = ReasonNotContinuation();
                break;
            case Outcome::Failed:
                if (result.status != 0) {
                    failure_ = ReasonForStatus(result.status);
                    askedWait_ = std::chrono::seconds(std::clamp<long>(result.retryAfterSeconds, 0, 60));
                    if (IsBusyStatus(result.status)) {
                        if (!WaitToRetry(false, failure_, false)) {
                            return Stopped(failure_);
                        }
                    } else if (!IsExpiredStatus(result.status) || !RenewLink() ||
                               ProbeWithRetries() != ProbeResult::Ok) {
                        return Stopped(failure_);
                    }
                    // After a renewal the new link leads on from the disk to the same file; another
                    // file starts over.
                    PlanAttempt(false);
                    continue;
                }
                if (!IsRetryable(result.code)) {
                    return {RunOutcome::Kind::Failed, ReasonForTransfer(result.code, result.writeError)};
                }
                reason = ReasonForTransfer(result.code, 0);
                stalled = result.code == CURLE_OPERATION_TIMEDOUT;
                break;
        }
        // After the file changed on the server, only a whole file is progress.
        if (!WaitToRetry(Fetched() > before && !noCredit_, reason, stalled)) {
            if (result.outcome == Outcome::WebPage || result.outcome == Outcome::Changed) {
                failure_ = reason;
            }
            return Stopped(failure_);
        }
        if (result.outcome == Outcome::Mismatch) {
            // Twice other bytes at one place: the answer is not this file's continuation, whatever its
            // headers say.
            data_.StartOver();
            continue;
        }
        // A page or another file in place of this one: what the server has now decides the next attempt.
        if ((result.outcome == Outcome::WebPage || result.outcome == Outcome::Changed) &&
            ProbeWithRetries() != ProbeResult::Ok) {
            return Stopped(failure_);
        }
        PlanAttempt(false);
    }
}

bool TransferWorker::WholeOnDisk() {
    // An answer that never came cannot have replaced the file.
    if (data_.StartOverPlanned()) {
        return false;
    }
    if (progress_.totalSize <= 0) {
        return true;  // nothing was announced to hold it to
    }
    auto total = static_cast<int64_t>(progress_.totalSize);
    // Bytes past the end (left by a crash) are no part of the file.
    return data_.Count() == total && data_.CutTo(total) && data_.Size() == total;
}

TransferWorker::RunOutcome TransferWorker::Conclude(RunOutcome outcome) {
    bool completed = outcome.kind == RunOutcome::Kind::Completed;
    if (completed && !WholeOnDisk()) {
        outcome = {RunOutcome::Kind::Failed, ReasonForTransfer(CURLE_PARTIAL_FILE, 0)};
        completed = false;
    }
    if (data_.IsOpen()) {
        // The count saved with the outcome claims only bytes that are on the disk.
        bool kept = data_.Sync();
        if (data_.Replacing()) {
            // The old file's map stays until the new file has taken its place.
        } else if (completed) {
            RemoveSegmentMap(data_.path());
        } else if (map_ && kept) {
            map_->MarkDoneTo(data_.Count());
            SaveSegmentMap(data_.path(), *map_);
        }
        // The folder or file gone meanwhile leaves nothing to call finished.
        std::string gone = completed && !data_.InPlace() ? ReasonNotWritable() : "";
        kept = data_.Close() && kept;
        if (completed && (!gone.empty() || !kept)) {
            return {RunOutcome::Kind::Failed,
                    !gone.empty() ? gone : ReasonForTransfer(CURLE_WRITE_ERROR, data_.Error())};
        }
    }
    return outcome;
}

void TransferWorker::ShowPhase(TaskNote note) {
    shownCheckTenths_ = -1;
    Show([note](TaskEntry& task) {
        task.note = note;
        task.checkedPercent = 0;
        task.speedKBps = -1;
        task.secondsLeft = -1;
        task.connections.clear();
    });
}

TransferWorker::RunOutcome TransferWorker::CheckWholeFile() {
    if (!NeedsFinishedCheck(type_, digest_)) {
        return {RunOutcome::Kind::Completed, ""};
    }
    // The whole count is stored first: a check cut short by a kill runs again at the next start.
    SaveRecordNow(kStateDownloading);
    ShowPhase(TaskNote::Checking);
    std::atomic<bool> stop = false;
    auto progress = [this, &stop](std::int64_t done, std::int64_t total) {
        // A pause, a delete or the program's end stops the check at its next block.
        if (pauseRequested.load() != 0 || !context_.tables.WorkerListed(this)) {
            stop = true;
        }
        ShowCheckProgress(done, total);
    };
    switch (CheckFinishedFile(data_.WrittenPath(), type_, digest_, stop, progress)) {
        case ArchiveVerdict::Good:
        case ArchiveVerdict::Untestable:
            return {RunOutcome::Kind::Completed, ""};
        case ArchiveVerdict::Stopped:
            return {RunOutcome::Kind::Paused, ""};
        case ArchiveVerdict::Damaged:
            break;
    }
    // The file stays for the user to look at; nothing of it is trusted, so the next start fetches it
    // whole, of whatever version the server has then.
    data_.SetCount(0);
    map_.reset();
    storedEtag_.clear();
    storedDate_.clear();
    digest_ = {};
    return {RunOutcome::Kind::Failed, ReasonArchiveDamaged()};
}

void TransferWorker::DropReplacement() {
    data_.Abandon();
    map_.reset();  // it was the new file's
    if (keptRecord_) {
        storedSize_ = keptRecord_->size;
        storedEtag_ = keptRecord_->etag;
        storedDate_ = keptRecord_->date;
        digest_ = keptRecord_->digest;
        keptRecord_.reset();
    }
}

void TransferWorker::ShowCheckProgress(std::int64_t done, std::int64_t total) {
    int tenths = total > 0 ? static_cast<int>(std::min<std::int64_t>(done * 1000 / total, 1000)) : 1000;
    if (tenths != shownCheckTenths_) {
        shownCheckTenths_ = tenths;
        Show([tenths](TaskEntry& task) { task.checkedPercent = tenths / 10.0; });
    }
}

void TransferWorker::EndUnfinished(const RunOutcome& outcome) {
    int finalState = outcome.kind == RunOutcome::Kind::Paused ? kStatePaused : kStateFailed;
    state = finalState;
    // Recorded while still in the table: a second start of the task waits until its state is saved.
    // By id: a task deleted meanwhile, or deleted and added again, is not this worker's any more.
    DownloadTask record = StateRecord(finalState, outcome.reason);
    // The row shows every byte the task holds, wherever in the file they lie.
    int64_t held = dataOpened_ ? BytesOnDisk() : ByteCount(launch_.downloadedSize);
    bool listed = context_.book.Update(
        launch_.id,
        [&](TaskEntry& task) {
            TakeStored(task, record);
            // A task that stopped has no speed, no time left and no retry under way.
            task.running = false;
            task.state = static_cast<TaskState>(finalState);
            task.done = std::max(held, task.counted);
            task.speedKBps = -1;
            task.secondsLeft = -1;
            task.note = TaskNote::None;
            task.failure = outcome.reason;
            task.connections.clear();
        },
        Saving::Now);
    if (listed) {
        if (finalState == kStateFailed && context_.ends != nullptr) {
            // A task taken before the service named its file has only its page to go by.
            context_.ends->FailedForGood(launch_.name.empty() ? launch_.frmPge : launch_.name, outcome.reason);
        }
    }
    ReleaseAfterEnd();
}

void TransferWorker::ReleaseAfterEnd() {
    // A task deleted while it ran may not have stored its data file's name yet: the worker that
    // made or opened the file takes it away.
    if (!context_.tables.ReleaseWorker(this)) {
        RemoveDataFile();
    }
}

void TransferWorker::RemoveDataFile() {
    if (dataOpened_) {
        unlink(platform::Utf8FromAnsi(data_.path()).c_str());
        unlink(platform::Utf8FromAnsi(ReplacementPath(data_.path())).c_str());
        RemoveSegmentMap(data_.path());
    }
}

void TransferWorker::Complete() {
    state = kStateCompleted;
    // From here a delete leaves the task to the finished list, with its file.
    if (!context_.tables.ClaimCompletion(this)) {
        ReleaseAfterEnd();
        return;  // deleted from the list while it finished: its item is gone too
    }
    DownloadTask record;
    record.frmPge = launch_.frmPge;
    // The one file the bytes are in, whatever the link is called now.
    record.name = launch_.name;
    record.path = launch_.path;
    record.type = type_;
    // Without a length from the server, what arrived is the size.
    record.size = progress_.totalSize > 0 ? sizeText_ : std::to_string(data_.Count());
    record.fileLink = launch_.fileLink;
    // On disk before the task counts as finished anywhere else: a kill then finds it in the finished list.
    CompletedItem item = FinishedItem(record, LocalTimeNow());
    item.gameFolder = gameFolder_;
    item.unpackFailure = unpackFailure_;
    if (!context_.book.Finish(launch_.id, item)) {
        // The book is the truth: a task it no longer lists was deleted, and its file goes with it.
        context_.tables.ReleaseWorker(this);
        RemoveDataFile();
        return;
    }
    if (context_.saveNow) {
        context_.saveNow();
    }
    // The archive goes only now: before, a kill would have the next start fetch it again.
    if (!gameFolder_.empty()) {
        AfterUnpacked(context_.book, unpackedParts_, gameFolder_,
                      platform::Settings(context_.programDirectory).DeleteArchiveAfterExtract() != 0);
    }
    context_.tables.ReleaseWorker(this);
    if (platform::Settings(context_.programDirectory).PlayAudioCmp() == 1) {
        context_.sound.PlayCompletionSound();
    }
    if (context_.ends != nullptr) {
        // A click on the notice opens the game folder once there is one.
        context_.ends->Finished(launch_.name + "." + type_, gameFolder_.empty() ? launch_.path : gameFolder_,
                                unpackFailure_);
    }
}

}  // namespace tarvane
