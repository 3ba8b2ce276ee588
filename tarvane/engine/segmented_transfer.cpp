#include "tarvane/engine/segmented_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>

#include "platform/curl_easy.h"
#include "tarvane/engine/answer_check.h"
#include "tarvane/engine/content_range.h"
#include "tarvane/engine/failure_reason.h"

namespace tarvane {

using SteadyClock = std::chrono::steady_clock;
using Outcome = SegmentedResult::Outcome;

namespace {

constexpr long kReceiveBufferBytes = 100 * 1024;
// How often the worker hears of the bytes done (and may stop the transfer).
constexpr auto kProgressEvery = std::chrono::milliseconds(25);
// How often the first connection of a run is asked again when the server turns it away.
constexpr size_t kFirstRefusals = 2;

// A segment's resume fetches some of its bytes on disk again and compares them.
int64_t SegmentOverlap(int64_t done) {
    return std::min(done, std::clamp<int64_t>(done / 20, 64 * 1024, 1024 * 1024));
}

// Why a connection's answer ended before libcurl saw it end.
enum class Verdict { None, SegmentEnd, Status, BadRange, RangesIgnored, Changed, WebPage, Mismatch, WriteFailed };

// Whether a 206 carries just the bytes first..last of a file of `size` bytes.
bool RangeMatches(CURL* handle, int64_t first, int64_t last, int64_t size) {
    auto range = AnsweredRange(handle);
    return range && range->first == first && range->last == last && range->total == size;
}

std::string HeaderValue(CURL* handle, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &header) == CURLHE_OK && IsUsableValidator(header->value)) {
        return header->value;
    }
    return "";
}

}  // namespace

struct SegmentedTransfer::Connection {
    SegmentedTransfer* owner = nullptr;
    int index = 0;
    platform::CurlEasy easy;
    platform::CurlList headers;
    std::string range;
    bool active = false;  // in the multi handle
    bool waiting = false;
    SteadyClock::time_point retryAt;
    bool paused = false;  // by the speed limit, until resumeAt
    SteadyClock::time_point resumeAt;
    int64_t segment = -1;  // start of the segment it owns
    int64_t from = 0;      // the range asked for
    int64_t last = 0;
    int64_t refetchFrom = -1;  // after other bytes than the disk's: the same place once more
    DataFile::Cursor cursor;
    int64_t lastMismatchAt = -1;
    // The answer under way.
    bool checked = false;
    bool accepted = false;
    bool markup = false;
    bool whole = false;
    bool sameFile = false;  // a whole answer of the file's length and validators
    bool brought = false;
    long status = 0;
    std::string head;
    Verdict verdict = Verdict::None;
};

namespace {

size_t WriteThunk(char* data, size_t size, size_t count, void* user) {
    auto* connection = static_cast<SegmentedTransfer::Connection*>(user);
    return connection->owner->Write(*connection, data, size * count);
}

}  // namespace

SegmentedTransfer::SegmentedTransfer(DataFile& data, SegmentMap& map, SegmentedSetup setup)
    : data_(data), map_(map), setup_(std::move(setup)), ramp_(setup_.limit) {}

SegmentedTransfer::~SegmentedTransfer() {
    for (auto& connection : connections_) {
        if (connection->active) {
            curl_multi_remove_handle(static_cast<CURLM*>(multi_), connection->easy.get());
        }
    }
    connections_.clear();
    if (multi_ != nullptr) {
        curl_multi_cleanup(static_cast<CURLM*>(multi_));
    }
}

int SegmentedTransfer::Running() const {
    return static_cast<int>(
        std::count_if(connections_.begin(), connections_.end(), [](const auto& c) { return c->active || c->waiting; }));
}

void SegmentedTransfer::End(Outcome outcome, int code) {
    if (!ended_) {
        ended_ = true;
        result_.outcome = outcome;
        result_.code = code;
    }
}

SegmentedResult SegmentedTransfer::Run() {
    multi_ = curl_multi_init();
    if (multi_ == nullptr) {
        result_.code = CURLE_FAILED_INIT;
        return result_;
    }
    auto* multi = static_cast<CURLM*>(multi_);
    for (Segment& segment : map_.segments) {
        segment.owner = -1;
    }
    // Each step of the ramp is measured after its first third, when its connections are under way.
    SteadyClock::time_point stepStart = SteadyClock::now(), lastProgress{};
    bool stepSampled = false;
    int64_t sampleBytes = 0;
    SteadyClock::time_point sampleTime;
    int lastTarget = 0;
    int64_t limit = setup_.share != nullptr ? setup_.share->Limit() : 0;
    ramp_ = ConnectionRamp(ConnectionsUnder(limit, setup_.limit));
    while (!ended_) {
        auto now = SteadyClock::now();
        if (map_.Finished()) {
            End(Outcome::Done);
            break;
        }
        if (now - lastProgress >= kProgressEvery) {
            lastProgress = now;
            int working = static_cast<int>(
                std::count_if(connections_.begin(), connections_.end(), [](const auto& c) { return c->active; }));
            if (!setup_.progress(map_.DoneBytes(), working)) {
                End(Outcome::Stopped, CURLE_ABORTED_BY_CALLBACK);
                break;
            }
        }
        // A new limit wants another number of connections: the ramp starts over under it.
        if (int64_t current = setup_.share != nullptr ? setup_.share->Limit() : 0; current != limit) {
            limit = current;
            ramp_ = ConnectionRamp(ConnectionsUnder(limit, setup_.limit));
            lastTarget = 0;  // its first step is measured anew
            StopBeyondTarget();
        }
        if (ramp_.Target() != lastTarget) {
            lastTarget = ramp_.Target();
            stepStart = now;
            stepSampled = false;
        }
        for (int running = Running(); running < ramp_.Target() && Open(); ++running) {
        }
        for (auto& connection : connections_) {
            if (connection->waiting && now >= connection->retryAt) {
                Start(*connection);
            }
        }
        if (Running() == 0) {
            // Nothing left to take while segments are open: cannot happen with a whole map.
            End(Outcome::Failed, CURLE_PARTIAL_FILE);
            break;
        }
        int still = 0;
        curl_multi_perform(multi, &still);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            Connection* connection = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &connection);
            CURLcode code = message->data.result;
            curl_multi_remove_handle(multi, message->easy_handle);
            connection->active = false;
            Ended(*connection, code);
        }
        if (ended_) {
            break;
        }
        if (!ramp_.Settled()) {
            auto elapsed = now - stepStart;
            if (!stepSampled && elapsed >= setup_.stepTime / 3) {
                stepSampled = true;
                sampleBytes = map_.DoneBytes();
                sampleTime = now;
            } else if (stepSampled && elapsed >= setup_.stepTime) {
                double seconds = std::chrono::duration<double>(now - sampleTime).count();
                ramp_.StepMeasured(static_cast<double>(map_.DoneBytes() - sampleBytes) / seconds);
                StopBeyondTarget();
            }
        }
        auto nextResume = Unpause();
        if (ended_) {
            break;
        }
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::min<int64_t>(50, nextResume.count())), nullptr);
    }
    return result_;
}

std::chrono::milliseconds SegmentedTransfer::Unpause() {
    auto now = SteadyClock::now();
    auto next = std::chrono::milliseconds(50);
    for (auto& connection : connections_) {
        Connection& c = *connection;
        if (!c.active || !c.paused) {
            continue;
        }
        if (now < c.resumeAt) {
            next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(c.resumeAt - now));
            continue;
        }
        c.paused = false;
        // The bytes held while paused are handed over at once, and may end the answer.
        if (CURLcode code = curl_easy_pause(c.easy.get(), CURLPAUSE_CONT); code != CURLE_OK) {
            curl_multi_remove_handle(static_cast<CURLM*>(multi_), c.easy.get());
            c.active = false;
            Ended(c, code);
        }
    }
    return next;
}

bool SegmentedTransfer::Open() {
    Connection* idle = nullptr;
    for (auto& connection : connections_) {
        if (!connection->active && !connection->waiting) {
            idle = connection.get();
            break;
        }
    }
    if (idle == nullptr) {
        connections_.push_back(std::make_unique<Connection>());
        idle = connections_.back().get();
        idle->owner = this;
        idle->index = static_cast<int>(connections_.size()) - 1;
    }
    int64_t segment = TakeWork(map_, idle->index);
    if (segment < 0) {
        return false;
    }
    idle->segment = segment;
    idle->lastMismatchAt = -1;
    idle->refetchFrom = -1;
    Start(*idle);
    return true;
}

void SegmentedTransfer::Start(Connection& c) {
    c.waiting = c.paused = false;
    Segment* segment = map_.Find(c.segment);
    c.from = c.refetchFrom >= 0        ? c.refetchFrom
             : segment->checkFrom >= 0 ? segment->checkFrom
                                       : segment->next - SegmentOverlap(segment->next - segment->start);
    c.refetchFrom = segment->checkFrom = -1;
    c.last = segment->end - 1;
    c.cursor = DataFile::Cursor::At(c.from, segment->next);
    c.checked = c.accepted = c.markup = c.whole = c.sameFile = c.brought = false;
    c.status = 0;
    c.head.clear();
    c.verdict = Verdict::None;
    if (!c.easy) {
        c.easy.reset(curl_easy_init());
    } else {
        curl_easy_reset(c.easy.get());
    }
    CURL* easy = c.easy.get();
    if (easy == nullptr || !setup_.configure(easy)) {
        End(Outcome::Failed, CURLE_FAILED_INIT);
        return;
    }
    c.range = std::to_string(c.from) + "-" + std::to_string(c.last);
    curl_easy_setopt(easy, CURLOPT_RANGE, c.range.c_str());
    c.headers.reset();
    if (!setup_.ifRange.empty()) {
        platform::AppendCurlList(c.headers, ("If-Range: " + setup_.ifRange).c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, c.headers.get());
    }
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteThunk);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &c);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &c);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE,
                     ReceiveBufferUnder(setup_.share != nullptr ? setup_.share->Limit() : 0, kReceiveBufferBytes));
    curl_multi_add_handle(static_cast<CURLM*>(multi_), easy);
    c.active = true;
}

void SegmentedTransfer::StopBeyondTarget() {
    // The newest connections go; their segments are left for those that stay.
    for (auto it = connections_.rbegin(); it != connections_.rend() && Running() > ramp_.Target(); ++it) {
        Connection& c = **it;
        if (c.active) {
            curl_multi_remove_handle(static_cast<CURLM*>(multi_), c.easy.get());
            c.active = false;
        }
        if (c.segment >= 0) {
            Release(c);
        }
    }
}

void SegmentedTransfer::Release(Connection& c) {
    if (Segment* segment = map_.Find(c.segment)) {
        segment->owner = -1;
    }
    c.segment = -1;
    c.waiting = false;
}

void SegmentedTransfer::Ended(Connection& c, int code) {
    // An error page without a body never reached Write.
    if (!c.checked) {
        curl_easy_getinfo(c.easy.get(), CURLINFO_RESPONSE_CODE, &c.status);
        c.verdict = c.status >= 400 ? Verdict::Status : c.verdict;
    }
    // A body too short to tell whether it is a web page has waited for its end.
    if (c.verdict == Verdict::None && code == CURLE_OK && c.markup && !c.accepted) {
        bool page = StartsWithMarkup(c.head, true) == MarkupCheck::Markup;
        std::string held = std::move(c.head);
        c.verdict = page      ? Verdict::WebPage
                    : c.whole ? (c.sameFile ? Verdict::RangesIgnored : Verdict::Changed)
                              : Verdict::None;
        if (c.verdict == Verdict::None && !Take(c, held.data(), held.size())) {
            code = CURLE_WRITE_ERROR;
        }
    }
    Segment* segment = map_.Find(c.segment);
    switch (c.verdict) {
        case Verdict::SegmentEnd:
            Release(c);
            return;
        case Verdict::RangesIgnored:
            result_.fallback = SegmentedResult::Fallback::RangesIgnored;
            End(Outcome::Single);
            return;
        case Verdict::Changed:
            End(Outcome::Changed);
            return;
        case Verdict::WebPage:
            End(Outcome::WebPage);
            return;
        case Verdict::WriteFailed:
            result_.writeError = data_.Error();
            End(Outcome::Failed, CURLE_WRITE_ERROR);
            return;
        case Verdict::Mismatch:
            // Twice other bytes at one place: the server's file is not the one on disk.
            if (c.cursor.mismatchAt == c.lastMismatchAt) {
                End(Outcome::Mismatch);
                return;
            }
            c.lastMismatchAt = c.cursor.mismatchAt;
            c.refetchFrom = c.from;
            Start(c);
            return;
        default:
            break;
    }
    if (code == CURLE_OK && c.verdict == Verdict::None) {
        if (segment != nullptr && segment->Done()) {
            Release(c);
            return;
        }
        code = CURLE_PARTIAL_FILE;  // the body ended before the range did
    }
    bool others = std::any_of(connections_.begin(), connections_.end(), [&](const auto& other) {
        return other.get() != &c && (other->active || other->waiting);
    });
    // 416 or 403 before any range of this run brought a byte: the server will not serve such ranges.
    bool badRange = c.verdict == Verdict::BadRange || c.status == 416 || (c.status == 403 && !rangesServed_);
    if (!others) {
        // The last connection: a server that will not answer ranges over several connections gets one;
        // anything else is the worker's to mend as with a single connection.
        if (badRange) {
            result_.fallback = SegmentedResult::Fallback::RangesRefused;
            End(Outcome::Single);
            return;
        }
        // Turned away before any range of this run was served: the server may not yet have seen the
        // answer that this run took over go. Asked again a while later, then one connection as before.
        bool refused = (c.verdict == Verdict::Status && IsBusyStatus(c.status)) || code == CURLE_COULDNT_CONNECT;
        if (refused && !rangesServed_) {
            if (firstRefusals_ < std::min<size_t>(kFirstRefusals, setup_.waits.size())) {
                c.waiting = true;
                c.retryAt = SteadyClock::now() + setup_.waits[firstRefusals_++];
                return;
            }
            result_.fallback = SegmentedResult::Fallback::ConnectionsRefused;
            End(Outcome::Single);
            return;
        }
        result_.status = c.verdict == Verdict::Status ? c.status : 0;
        if (c.easy) {
            curl_off_t seconds = 0;
            curl_easy_getinfo(c.easy.get(), CURLINFO_RETRY_AFTER, &seconds);
            result_.retryAfterSeconds = static_cast<long>(seconds);
        }
        End(Outcome::Failed, code == CURLE_OK ? CURLE_HTTP_RETURNED_ERROR : code);
        return;
    }
    if (!c.brought || c.verdict != Verdict::None) {
        // Turned away, refused or cut before its first byte while others work: fewer connections.
        // That is never an attempt of the task.
        Release(c);
        ramp_.Refused(Running());
        result_.cap = ramp_.Target();
        result_.fallback =
            badRange ? SegmentedResult::Fallback::RangesRefused : SegmentedResult::Fallback::ConnectionsRefused;
        return;
    }
    // Cut or stalled after bringing bytes: this connection tries again from the disk after the first
    // wait; cut again before a byte, it is one too many for the server and ends above.
    if (setup_.waits.empty() || !IsRetryable(code)) {
        Release(c);
        return;
    }
    c.waiting = true;
    c.retryAt = SteadyClock::now() + setup_.waits.front();
}

size_t SegmentedTransfer::Write(Connection& c, const char* data, size_t bytes) {
    if (!c.checked) {
        c.checked = true;
        if (!CheckHeaders(c)) {
            return 0;
        }
    }
    if (c.verdict != Verdict::None) {
        return 0;  // an answer that ended while its bytes were held by a pause
    }
    if (setup_.share != nullptr) {
        if (double wait = setup_.share->Ask(bytes); wait > 0) {
            c.paused = true;
            c.resumeAt = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                                  std::chrono::duration<double, std::milli>(wait));
            return CURL_WRITEFUNC_PAUSE;
        }
    }
    if (c.markup && !c.accepted) {
        // Held back until the first bytes tell whether the answer is a web page.
        c.head.append(data, bytes);
        MarkupCheck check = StartsWithMarkup(c.head, false);
        if (check == MarkupCheck::NeedMore) {
            return bytes;
        }
        if (check == MarkupCheck::Markup || c.whole) {
            c.verdict = check == MarkupCheck::Markup ? Verdict::WebPage
                        : c.sameFile                 ? Verdict::RangesIgnored
                                                     : Verdict::Changed;
            return 0;
        }
        c.accepted = true;
        std::string held = std::move(c.head);
        c.head.clear();
        return Take(c, held.data(), held.size()) ? bytes : 0;
    }
    c.accepted = true;
    return Take(c, data, bytes) ? bytes : 0;
}

bool SegmentedTransfer::CheckHeaders(Connection& c) {
    CURL* easy = c.easy.get();
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &c.status);
    if (c.status >= 400) {
        c.verdict = Verdict::Status;
        return false;
    }
    std::string etag = HeaderValue(easy, "ETag"), date = HeaderValue(easy, "Last-Modified");
    bool sameValidators = ValidatorsAgree(setup_.etag, setup_.lastModified, etag, date);
    char* contentType = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
    c.markup = contentType != nullptr && IsWebPageType(contentType) && !IsWebPageFileType(setup_.type);
    if (c.status == 206) {
        if (!RangeMatches(easy, c.from, c.last, map_.size)) {
            c.verdict = Verdict::BadRange;
            return false;
        }
        if (!sameValidators) {
            c.verdict = Verdict::Changed;  // a server that let If-Range pass for another version
            return false;
        }
        return true;
    }
    if (c.status != 200) {
        c.verdict = Verdict::BadRange;
        return false;
    }
    // The whole file to a range: the same file from a server that ignores ranges, or another version.
    c.whole = true;
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    c.sameFile = length == map_.size && sameValidators;
    if (!c.markup) {
        c.verdict = c.sameFile ? Verdict::RangesIgnored : Verdict::Changed;
        return false;
    }
    return true;
}

bool SegmentedTransfer::Take(Connection& c, const char* data, size_t bytes) {
    Segment* segment = map_.Find(c.segment);
    // A segment's end moves up when another connection takes its second half.
    auto room = static_cast<size_t>(std::max<int64_t>(segment->end - c.cursor.writePos, 0));
    size_t taken = std::min(bytes, room);
    switch (data_.PutAt(c.cursor, data, taken)) {
        case DataFile::PutResult::Ok:
            break;
        case DataFile::PutResult::Mismatch:
            c.verdict = Verdict::Mismatch;
            return false;
        case DataFile::PutResult::Failed:
            c.verdict = Verdict::WriteFailed;
            return false;
    }
    if (c.cursor.writePos > segment->next) {
        segment->next = c.cursor.writePos;
        c.brought = rangesServed_ = true;
    }
    if (taken < bytes) {
        c.verdict = Verdict::SegmentEnd;
        return false;
    }
    return true;
}

}  // namespace tarvane
