// The part of the transfer worker that fetches one file over several connections.
#include <curl/curl.h>

#include <algorithm>

#include "platform/codepage.h"
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

bool TransferWorker::SplitReady() const {
    return SplitWanted() && status_ == 206 && rangeRequested_ &&
           progress_.totalSize - static_cast<double>(BytesOnDisk()) >= static_cast<double>(2 * kMinStealBytes);
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

int TransferWorker::TransferSegmented() {
    auto total = static_cast<int64_t>(progress_.totalSize);
    std::string validator = Validator(etag_, lastModified_);
    if (!map_) {
        map_ = SegmentMap::Whole(total, data_.Count(), validator);
    }
    map_->MarkDoneTo(data_.Count());
    map_->validator = validator;
    // The first answer goes on where it stopped, so the compare of the bytes it fetches again is whole.
    for (Segment& segment : map_->segments) {
        if (segment.start <= data_.WritePos() && data_.WritePos() <= segment.next && !segment.Done()) {
            segment.checkFrom = data_.WritePos();
        }
    }
    data_.Reserve(total);

    SegmentedSetup setup;
    setup.limit = ConnectionLimit();
    setup.share = share_;
    setup.ifRange = validator;
    setup.etag = etag_;
    setup.lastModified = lastModified_;
    setup.type = type_;
    setup.waits = context_.retry.waits;
    setup.configure = [this](void* handle) { return ConfigureConnection(handle); };
    // The row shows the task's totals: every segment's bytes, over the whole file.
    progress_.Begin(0, progress_.totalSize, context_.clock.NowMs());
    progress_.lastSampleBytes = static_cast<double>(map_->DoneBytes());
    setup.progress = [this](int64_t done, int connections) {
        data_.SetCount(map_->Contiguous());
        int result = ReportProgress(progress_, progress_.totalSize, static_cast<double>(done), context_.clock.NowMs(),
                                    context_.tables, *this, launch_.id, context_.book);
        if (result != kProgressContinue) {
            return false;
        }
        ShowConnections(std::max(connections, 1));
        RecordProgress(false);
        return refusal_ != Refusal::FileGone;
    };
    SegmentedResult result = SegmentedTransfer(data_, *map_, std::move(setup)).Run();
    data_.SetCount(map_->Contiguous());
    if (result.cap > 0) {
        connectionCap_ = result.cap;
    }
    using Fallback = SegmentedResult::Fallback;
    if (result.fallback != Fallback::None) {
        fallbackWhy_ = platform::AnsiFromUtf8(result.fallback == Fallback::RangesIgnored ? "服务器不支持分段下载"
                                              : result.fallback == Fallback::RangesRefused ? "服务器拒绝了分段请求"
                                                                                           : "服务器拒绝了更多连接");
    }
    using Outcome = SegmentedResult::Outcome;
    switch (result.outcome) {
        case Outcome::Done:
            return CURLE_OK;
        case Outcome::Stopped:
            return CURLE_ABORTED_BY_CALLBACK;
        case Outcome::Single:
            if (result.fallback == Fallback::ConnectionsRefused) {
                // Ranges work, just not several at once: one connection still goes by the map, so
                // nothing it holds is fetched again.
                connectionCap_ = 1;
            } else {
                // One connection from here on; a server that ignores ranges is remembered with the map.
                noRanges_ = true;
                map_->noRanges = result.fallback == Fallback::RangesIgnored;
            }
            ShowConnections(1);
            resume_ = Resume::Plan;
            return CURLE_PARTIAL_FILE;
        case Outcome::Changed:
        case Outcome::Mismatch:
            // Another version of the file: every byte on disk is of no known version now, so the next
            // answer that is accepted is the whole file, never a mix.
            DropSegmentMap();
            storedSize_.clear();
            refusal_ = Refusal::Changed;
            return CURLE_WRITE_ERROR;
        case Outcome::WebPage:
            refusal_ = Refusal::WebPage;
            return CURLE_WRITE_ERROR;
        case Outcome::Failed:
            break;
    }
    writeError_ = result.writeError;
    if (result.status >= 400) {
        httpError_ = true;
        status_ = result.status;
        askedWait_ = std::chrono::seconds(std::clamp<long>(result.retryAfterSeconds, 0, 60));
    }
    return result.code;
}

}  // namespace tarvane
