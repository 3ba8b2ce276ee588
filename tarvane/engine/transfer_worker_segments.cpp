// The part of the transfer worker that fetches the file: one connection or several, by the segment map.
#include <curl/curl.h>

#include <algorithm>

#include "platform/codepage.h"
#include "tarvane/engine/answer_check.h"
#include "tarvane/engine/segmented_transfer.h"
#include "tarvane/engine/transfer_worker.h"

namespace tarvane {

namespace {

// Smaller files come over one connection: more would save little and cost the server as much.
constexpr int64_t kSplitMinBytes = 16 * 1024 * 1024;
constexpr int kDefaultConnections = 8;
constexpr int kMostConnections = 16;

std::string Validator(const std::string& etag, const std::string& date) {
    return !etag.empty() ? etag : date;
}

}  // namespace

int TransferWorker::ConnectionLimit() const {
    // Without a validator nothing tells two versions of the file apart (a mirror's nodes out of step):
    // several connections could mix them.
    if (etag_.empty() && lastModified_.empty()) {
        return 1;
    }
    int limit = context_.connectionLimit ? context_.connectionLimit() : kDefaultConnections;
    limit = std::clamp(limit, 1, kMostConnections);
    return connectionCap_ > 0 ? std::min(limit, connectionCap_) : limit;
}

bool TransferWorker::SplitWanted() const {
    // Down to one connection, a file with a segment map still goes by the map: what it holds is not
    // fetched again.
    return !noRanges_ && progress_.totalSize >= static_cast<double>(kSplitMinBytes) &&
           (ConnectionLimit() > 1 || map_.has_value());
}

int64_t TransferWorker::BytesOnDisk() const {
    if (data_.StartOverPlanned()) {
        return 0;
    }
    return map_ ? std::max(map_->DoneBytes(), data_.Count()) : data_.Count();
}

int64_t TransferWorker::Fetched() const {
    return data_.Count() + (map_ ? map_->DoneBytes() : 0);
}

void TransferWorker::AdoptSegmentMap() {
    RemoveSegmentMapLeftovers(data_.path());
    std::optional<SegmentMap> loaded = freshFile_ ? std::nullopt : LoadSegmentMap(data_.path());
    auto total = static_cast<int64_t>(progress_.totalSize);
    int64_t size = data_.Size();
    // Believed only for the version and size of the bytes on disk, and for bytes the file holds.
    if (!loaded || loaded->size != total || storedSize_ != sizeText_ ||
        loaded->validator != Validator(storedEtag_, storedDate_) ||
        std::any_of(loaded->segments.begin(), loaded->segments.end(),
                    [&](const Segment& segment) { return segment.next > size; })) {
        DropSegmentMap();
        return;
    }
    loaded->MarkDoneTo(data_.Count());
    data_.SetCount(loaded->Contiguous());
    noRanges_ = loaded->noRanges;
    map_ = std::move(loaded);
}

void TransferWorker::DropSegmentMap() {
    map_.reset();
    if (data_.IsOpen()) {
        RemoveSegmentMap(data_.path());
    }
}

void TransferWorker::ShowConnections(int connections) {
    std::string tip = std::to_string(connections) + platform::AnsiFromUtf8(" 个连接");
    if (!fallbackWhy_.empty()) {
        tip += platform::AnsiFromUtf8("（") + fallbackWhy_ + platform::AnsiFromUtf8("）");
    }
    if (tip != shownTip_) {
        shownTip_ = tip;
        Show([&tip](TaskEntry& task) { task.connections = tip; });
    }
}

SegmentedResult TransferWorker::Transfer() {
    bool sized = progress_.totalSize > 0;
    int64_t total = sized ? static_cast<int64_t>(progress_.totalSize) : kUnknownSize;
    int limit = SplitWanted() ? ConnectionLimit() : 1;
    std::string validator = Validator(etag_, lastModified_);
    bool startOver = data_.StartOverPlanned();
    // Several connections keep a map beside the file, so that a resume fetches only what is missing.
    if (!map_ && limit > 1) {
        map_ = SegmentMap::Whole(total, data_.Count(), validator);
    }
    SegmentMap single;
    SegmentMap& map = map_ ? *map_ : single;
    if (startOver || !map_) {
        map = SegmentMap::Whole(total, startOver ? 0 : data_.Count(), validator);
    }
    map.MarkDoneTo(startOver ? 0 : data_.Count());
    map.validator = validator;
    // The answer that goes on from the count begins where the plan says, so its compare is whole.
    for (Segment& segment : map.segments) {
        if (segment.start <= data_.AnswerOffset() && data_.AnswerOffset() <= segment.next && !segment.Done()) {
            segment.checkFrom = data_.AnswerOffset();
        }
    }
    if (sized && !startOver) {
        data_.Reserve(total);
    }

    SegmentedSetup setup;
    setup.limit = limit;
    setup.share = share_;
    setup.host = host_;
    setup.ifRange = validator;
    setup.file = {-1, etag_, lastModified_, type_};
    setup.waits = context_.retry.waits;
    setup.configure = [this](void* handle) { return ConfigureConnection(handle); };
    setup.accepted = [this](const AcceptedAnswer& answer) { AnswerAccepted(answer); };
    // The row shows the task's totals: every segment's bytes, over the whole file.
    double now = context_.clock.NowMs();
    progress_.Begin(0, progress_.totalSize, now);
    progress_.lastSampleBytes = static_cast<double>(map.DoneBytes());
    setup.progress = [this, &map, limit](int64_t done, int connections) {
        // A planned start over keeps the count of the bytes on disk until an answer replaces them.
        if (!data_.StartOverPlanned()) {
            data_.SetCount(map.Contiguous());
        }
        int result = ReportProgress(progress_, progress_.totalSize, static_cast<double>(done), context_.clock.NowMs(),
                                    context_.tables, *this, launch_.id, context_.book);
        if (result != kProgressContinue) {
            return false;
        }
        if (limit > 1) {
            ShowConnections(std::max(connections, 1));
        }
        RecordProgress(false);
        return refusal_ != Refusal::FileGone;
    };
    lastRecordMs_ = now;
    RecordProgress(true);
    state = kStateDownloading;
    SegmentedResult result = SegmentedTransfer(data_, map, std::move(setup)).Run();
    if (!data_.StartOverPlanned()) {
        data_.SetCount(map.Contiguous());
    }
    return result;
}

void TransferWorker::AnswerAccepted(const AcceptedAnswer& answer) {
    bool named = !answer.etag.empty() || !answer.lastModified.empty();
    if (answer.startsOver && data_.Replacing() && !keptRecord_) {
        keptRecord_ = KeptRecord{storedSize_, storedEtag_, storedDate_, digest_};
    }
    if (answer.startsOver || answer.whole) {
        if (answer.startsOver && !storedSize_.empty() &&
            !ValidatorsAgree(storedEtag_, storedDate_, named ? answer.etag : etag_,
                             named ? answer.lastModified : lastModified_)) {
            noCredit_ = true;  // the file changed on the server while the task fetched it
        }
        if (answer.startsOver && map_ && !data_.Replacing()) {
            RemoveSegmentMap(data_.path());  // what it said of the old bytes is void
        }
        // A whole file replaces what the task knew of the file.
        storedSize_ = sizeText_;
        digest_ = answer.digest.kind != ExpectedDigest::Kind::None ? answer.digest : probeDigest_;
    } else if (answer.digest.kind != ExpectedDigest::Kind::None) {
        digest_ = answer.digest;  // of the whole file, which the range goes on with
    }
    // A continuation whose bytes agreed with the disk: its validators are now those of the file.
    if (named) {
        etag_ = answer.etag;
        lastModified_ = answer.lastModified;
    }
    storedEtag_ = etag_;
    storedDate_ = lastModified_;
    if (map_) {
        map_->validator = Validator(etag_, lastModified_);
    }
}

void TransferWorker::FallBack(const SegmentedResult& result) {
    if (result.cap > 0) {
        connectionCap_ = result.cap;
    }
    using Fallback = SegmentedResult::Fallback;
    if (result.fallback == Fallback::None) {
        return;
    }
    fallbackWhy_ = platform::AnsiFromUtf8(result.fallback == Fallback::RangesIgnored ? "服务器不支持分段下载"
                                          : result.fallback == Fallback::RangesRefused ? "服务器拒绝了分段请求"
                                                                                       : "服务器拒绝了更多连接");
    if (result.outcome != SegmentedResult::Outcome::Single) {
        return;
    }
    if (result.fallback == Fallback::ConnectionsRefused) {
        // Ranges work, just not several at once: one connection still goes by the map, so nothing it
        // holds is fetched again.
        connectionCap_ = 1;
    } else {
        // One connection from here on; a server that ignores ranges is remembered with the map.
        noRanges_ = true;
        if (map_) {
            map_->noRanges = result.fallback == Fallback::RangesIgnored;
        }
    }
    ShowConnections(1);
}

}  // namespace tarvane
