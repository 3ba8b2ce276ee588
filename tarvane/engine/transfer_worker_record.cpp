// The part of the transfer worker that records its task: the stored fields in the book (and so in
// download.xml behind it) when they change, the progress beside the data file.
#include <cerrno>

#include "tarvane/engine/transfer_worker.h"

namespace tarvane {

void TransferWorker::RecordProgress(bool force) {
    double now = context_.clock.NowMs();
    if (!force && now - lastRecordMs_ < context_.saveIntervalMs) {
        return;
    }
    int64_t count = data_.Count();
    if ((!force && Fetched() == recordedCount_) || !context_.tables.WorkerListed(this)) {
        return;
    }
    lastRecordMs_ = now;
    // A file removed or replaced under the task would take every further byte nowhere.
    if (!data_.InPlace()) {
        writeError_ = ENOENT;
        refusal_ = Refusal::FileGone;
        return;
    }
    // Written bytes reach the disk before the count and the map that claim them.
    if (!data_.Sync()) {
        writeError_ = data_.Error();
        refusal_ = Refusal::FileGone;
        return;
    }
    // Progress goes beside the data file, so a running task never costs a rewrite of every stored
    // one; download.xml takes its count when it stops, and whatever else changed at once.
    auto total = static_cast<int64_t>(progress_.totalSize);
    if (data_.Replacing()) {
        // The map beside the task's file is the old file's; the new file's progress is not kept.
    } else if (map_) {
        map_->MarkDoneTo(count);
        SaveSegmentMap(data_.path(), *map_);
    } else if (total > 0 && !data_.StartOverPlanned()) {
        SaveSegmentMap(data_.path(), SegmentMap::Whole(total, count, !storedEtag_.empty() ? storedEtag_ : storedDate_));
    }
    recordedCount_ = Fetched();
    DownloadTask record = StateRecord(kStateDownloading);
    record.downloadedSize = lastSaved_.downloadedSize;
    // Without a size the count has no map to go in.
    if (!(record == lastSaved_)) {
        // What names the data file and its version: a kill must not leave the file unknown to its task.
        SaveRecordNow(kStateDownloading);
    } else if (total <= 0) {
        SaveRecord(kStateDownloading);
    }
}

void TransferWorker::SaveRecordNow(int flag) {
    if (SaveRecord(flag) && context_.saveNow) {
        context_.saveNow();
    }
}

bool TransferWorker::SaveRecord(int flag, const std::string& reason) {
    DownloadTask record = StateRecord(flag, reason);
    bool listed = context_.book.Update(
        launch_.id,
        [&](TaskEntry& task) {
            TakeStored(task, record);
            task.state = static_cast<TaskState>(flag);
        },
        Saving::Now);
    lastSaved_ = std::move(record);
    return listed;
}

DownloadTask TransferWorker::StateRecord(int flag, const std::string& reason) const {
    // Every field but the agent, which the stored task keeps.
    DownloadTask record;
    record.name = launch_.name;
    record.frmPge = launch_.frmPge;
    record.fileLink = launch_.fileLink;
    record.path = launch_.path;
    // While a new file is written beside the old one, the stored task describes the old one.
    const bool kept = data_.Replacing() && keptRecord_;
    record.size = kept ? keptRecord_->size : storedSize_;
    record.downloadedSize = std::to_string(dataOpened_ ? data_.HeldCount() : ByteCount(launch_.downloadedSize));
    record.type = type_;
    record.prxIP = launch_.prxIP;
    record.prxPort = launch_.prxPort;
    record.prxName = launch_.prxName;
    record.prxPwd = launch_.prxPwd;
    record.flag = std::to_string(flag);
    record.etag = kept ? keptRecord_->etag : storedEtag_;
    record.lastModified = kept ? keptRecord_->date : storedDate_;
    record.digest = DigestText(kept ? keptRecord_->digest : digest_);
    record.gameFolder = launch_.gameFolder;
    if (flag == kStateFailed) {
        record.error = reason;
    }
    return record;
}

}  // namespace tarvane
