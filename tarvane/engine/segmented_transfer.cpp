#include "tarvane/engine/segmented_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "platform/curl_easy.h"
#include "tarvane/engine/failure_reason.h"

namespace tarvane {

using SteadyClock = std::chrono::steady_clock;
using Outcome = SegmentedResult::Outcome;

namespace {

constexpr long kReceiveBufferBytes = 100 * 1024;
// How often the worker hears of the bytes done (and may stop the transfer).
constexpr auto kProgressEvery = std::chrono::milliseconds(25);
// How often a transfer asks its host's budget whether another task wants one of its connections.
constexpr auto kHostAskEvery = std::chrono::milliseconds(100);
// How often the first connection of a run is asked again when the server turns it away.
constexpr size_t kFirstRefusals = 2;
// A connection's speed is taken once its answer has run this long.
constexpr auto kRateWindow = std::chrono::seconds(1);
// A connection this many times slower than most of the others, over its whole answer of at least
// kJudgeAfter, is replaced while it would still need that long.
constexpr auto kJudgeAfter = std::chrono::seconds(3);
// The first wait before a server that turned connections away is asked for more again; it doubles
// with each refusal, up to the last.
constexpr auto kAskAgainFirst = std::chrono::seconds(5);
constexpr auto kAskAgainLast = std::chrono::seconds(80);

// The least a request is taken to cost before its first byte.
constexpr double kFewestRequestSeconds = 0.01;

// A segment's resume fetches some of its bytes on disk again and compares them.
int64_t SegmentOverlap(int64_t done) {
    return std::min(done, std::clamp<int64_t>(done / 20, 64 * 1024, 1024 * 1024));
}

// Why a connection's answer ended before libcurl saw it end.
enum class Verdict { None, SegmentEnd, Status, BadRange, RangesIgnored, Changed, WebPage, Mismatch, WriteFailed };

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
    SteadyClock::time_point pausedAt;  // its turn among the task's connections that wait
    int64_t segment = -1;              // start of the segment it owns
    int64_t from = 0;                  // the range asked for
    int64_t last = 0;                  // -1: to the end of the file
    bool ranged = false;
    int64_t refetchFrom = -1;  // after other bytes than the disk's: the same place once more
    // Its speed over the last whole window of its answer (bytes per second; below 0: none yet),
    // counted from a mark that moves on with each window.
    double rate = -1;
    SteadyClock::time_point markTime;
    // Since when its speed is judged (its answer's start, or a change of the limit), and its bytes then.
    SteadyClock::time_point judgedFrom;
    int64_t judgedBytes = 0;
    int64_t received = 0;  // bytes its answer has brought so far
    int64_t markBytes = 0;
    DataFile::Cursor cursor;
    AnswerJudge judge;
    // The answer under way.
    bool checked = false;
    bool accepted = false;
    bool told = false;  // the worker heard of it
    bool brought = false;
    // Its last answer ended whole: libcurl keeps the connection open for the next request.
    bool pooled = false;
    bool worked = false;  // it has brought bytes in this transfer
    bool twice = false;   // it fetches the rest of another connection's segment as well
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
    // Only now are the connections closed that were kept for reuse.
    for (; hostPlaces_ > 0; --hostPlaces_) {
        setup_.host->Give();
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
    askAgainWait_ = kAskAgainFirst;
    while (!ended_) {
        auto now = SteadyClock::now();
        // The row shows every byte in as soon as it is, not after the syncs that end the transfer.
        if (bool finished = map_.Finished(); finished || now - lastProgress >= kProgressEvery) {
            lastProgress = now;
            int working = static_cast<int>(
                std::count_if(connections_.begin(), connections_.end(), [](const auto& c) { return c->active; }));
            if (finished) {
                setup_.progress(map_.DoneBytes(), std::max(working, 1));
                End(Outcome::Done);
                break;
            }
            if (!setup_.progress(map_.DoneBytes(), working)) {
                End(Outcome::Stopped, CURLE_ABORTED_BY_CALLBACK);
                break;
            }
        }
        // A new limit wants another number of connections: fewer at once, or the ramp grows toward more.
        if (int64_t current = setup_.share != nullptr ? setup_.share->Limit() : 0; current != limit) {
            limit = current;
            ramp_.SetCap(ConnectionsUnder(limit, setup_.limit));
            lastTarget = 0;  // its next step is measured anew
            StopBeyondTarget();
            // What the connections brought under the old limit says nothing of the server.
            for (auto& connection : connections_) {
                connection->judgedFrom = now;
                connection->judgedBytes = connection->received;
            }
        }
        // A server that turned connections away is asked again once in a while: the refusal may have cleared.
        if (ramp_.HeldByRefusal() && now >= askAgainAt_) {
            ramp_.Restart();
            lastTarget = 0;
        }
        ReplaceSlow(now, limit > 0);
        SettleHostPlaces();
        if (ramp_.Target() != lastTarget) {
            lastTarget = ramp_.Target();
            stepStart = now;
            stepSampled = false;
        }
        // More connections only once a range has been answered with just its bytes.
        int target = oneOnly_ || !rangeAnswered_ ? 1 : ramp_.Target();
        for (int running = Running(); running < target && Open(); ++running) {
        }
        for (auto& connection : connections_) {
            if (connection->waiting && now >= connection->retryAt) {
                Start(*connection);
            }
        }
        if (Running() == 0 && waitingForHost_) {
            // Other tasks of the host hold its connections: this one waits for its turn.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
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
        CloseOutrun();
        if (!ramp_.Settled() && !rangeAnswered_) {
            stepStart = now;  // the ramp's first step begins with the first answered range
        } else if (!ramp_.Settled()) {
            auto elapsed = now - stepStart;
            // One connection is timed, for the speed at which no server limits it; more need only bring
            // data: the server takes them, so the next may follow.
            if (ramp_.Target() == 1 && !stepSampled && elapsed >= setup_.stepTime / 3) {
                stepSampled = true;
                sampleBytes = map_.DoneBytes();
                sampleTime = now;
            } else if ((ramp_.Target() > 1 || (stepSampled && elapsed >= setup_.stepTime)) && AllBrought()) {
                double seconds = std::chrono::duration<double>(now - sampleTime).count();
                ramp_.StepServed(stepSampled ? static_cast<double>(map_.DoneBytes() - sampleBytes) / seconds : 0);
                stepStart = now;
                stepSampled = false;
                // More than it once turned away work now: the refusal has cleared.
                if (result_.fallback == SegmentedResult::Fallback::ConnectionsRefused && Running() > result_.cap) {
                    result_.fallback = SegmentedResult::Fallback::None;
                    result_.cap = 0;
                }
            }
        }
        auto nextResume = Unpause();
        if (ended_) {
            break;
        }
        if (map_.Finished()) {
            continue;  // the last bytes are in: no wait before the end
        }
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::min<int64_t>(50, nextResume.count())), nullptr);
    }
    return result_;
}

std::chrono::milliseconds SegmentedTransfer::Unpause() {
    auto now = SteadyClock::now();
    auto next = std::chrono::milliseconds(50);
    std::vector<Connection*> due;
    for (auto& connection : connections_) {
        Connection& c = *connection;
        if (!c.active || !c.paused) {
            continue;
        }
        if (now < c.resumeAt) {
            next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(c.resumeAt - now));
            continue;
        }
        due.push_back(&c);
    }
    // The first to ask takes what the limiter has, so the one that has waited longest asks first: in a
    // fixed order the first connection would take every turn and starve the others of the task.
    std::stable_sort(due.begin(), due.end(),
                     [](const Connection* a, const Connection* b) { return a->pausedAt < b->pausedAt; });
    for (Connection* c : due) {
        c->paused = false;
        // The bytes held while paused are handed over at once, and may end the answer.
        if (CURLcode code = curl_easy_pause(c->easy.get(), CURLPAUSE_CONT); code != CURLE_OK) {
            curl_multi_remove_handle(static_cast<CURLM*>(multi_), c->easy.get());
            c->active = false;
            Ended(*c, code);
        }
    }
    return next;
}

bool SegmentedTransfer::TakeHostPlace() {
    if (setup_.host == nullptr || hostPlaces_ > Running()) {
        waitingForHost_ = false;
        return true;
    }
    waitingForHost_ = !setup_.host->TryTake();
    hostPlaces_ += waitingForHost_ ? 0 : 1;
    return !waitingForHost_;
}

void SegmentedTransfer::SettleHostPlaces() {
    if (setup_.host == nullptr) {
        return;
    }
    // The budget is asked a few times a second, not at every wake of the loop: it takes a lock that
    // every transfer of the program shares.
    if (auto now = SteadyClock::now(); Running() > 0 && now >= nextHostAsk_) {
        nextHostAsk_ = now + kHostAskEvery;
        if (setup_.host->ShouldGiveBack()) {
            // The newest connection goes; its segment is left for those that stay, or for its next turn.
            for (auto it = connections_.rbegin(); it != connections_.rend(); ++it) {
                if ((*it)->active || (*it)->waiting) {
                    Close(**it);
                    break;
                }
            }
        }
    }
    // A connection kept open for reuse still counts at the host.
    int open = Running() + static_cast<int>(std::count_if(connections_.begin(), connections_.end(),
                                                          [](const auto& c) { return c->pooled; }));
    for (; hostPlaces_ > open; --hostPlaces_) {
        setup_.host->Give();
    }
}

bool SegmentedTransfer::Open() {
    if (!TakeHostPlace()) {
        return false;
    }
    // One whose connection was kept open goes first: its request goes over that connection.
    Connection* idle = nullptr;
    for (auto& connection : connections_) {
        if (!connection->active && !connection->waiting && (idle == nullptr || connection->pooled)) {
            idle = connection.get();
        }
    }
    if (idle == nullptr) {
        connections_.push_back(std::make_unique<Connection>());
        idle = connections_.back().get();
        idle->owner = this;
        idle->index = static_cast<int>(connections_.size()) - 1;
    }
    // Its next answer is a new request, which may reach another server: its pace is not known yet.
    std::vector<double> rates = Rates();
    rates[static_cast<size_t>(idle->index)] = -1;
    int64_t segment = TakeWork(map_, idle->index, rates, requestSeconds_);
    // Under a speed limit a second fetch would only take the others' share.
    idle->twice = segment < 0 && idle->worked && !(setup_.share != nullptr && setup_.share->Limit() > 0);
    if (idle->twice) {
        segment = RestToFetchTwice(*idle, rates);
    }
    if (segment < 0) {
        return false;
    }
    // A connection far slower than this one may have lost all it had left: it makes room at once.
    CloseOutrun();
    idle->segment = segment;
    idle->rate = -1;
    idle->judge.ForgetMismatch();
    idle->refetchFrom = -1;
    Start(*idle);
    return true;
}

int64_t SegmentedTransfer::RestToFetchTwice(const Connection& idle, const std::vector<double>& rates) const {
    std::vector<double> known;
    std::copy_if(rates.begin(), rates.end(), std::back_inserter(known), [](double rate) { return rate > 0; });
    // An owner not measured yet is taken to be as fast as the fastest: it is helped last.
    double fastest = known.empty() ? 0 : *std::max_element(known.begin(), known.end());
    // A few at a time: each second fetch that loses ends its answer, and the server sees the
    // connections come and go.
    auto twice = std::count_if(connections_.begin(), connections_.end(),
                               [&](const auto& c) { return c.get() != &idle && c->active && c->twice; });
    if (twice >= std::max<std::ptrdiff_t>(1, ramp_.Target() / 4)) {
        return -1;
    }
    Segment* chosen = nullptr;
    double longest = 0;
    for (Segment& segment : map_.segments) {
        if (segment.Done() || segment.owner < 0 || segment.owner == idle.index) {
            continue;
        }
        auto fetching = std::count_if(connections_.begin(), connections_.end(),
                                      [&](const auto& c) { return c->active && c->segment == segment.start; });
        if (fetching != 1) {
            continue;
        }
        double rate = rates[static_cast<size_t>(segment.owner)];
        rate = rate > 0 ? rate : fastest;
        double left = rate > 0 ? static_cast<double>(segment.Left()) / rate : static_cast<double>(segment.Left());
        // One that ends before a new answer could bring its first byte needs no help.
        if (rate > 0 && left <= requestSeconds_) {
            continue;
        }
        if (chosen == nullptr || left > longest) {
            chosen = &segment;
            longest = left;
        }
    }
    return chosen != nullptr ? chosen->start : -1;
}

void SegmentedTransfer::CloseOutrun() {
    auto now = SteadyClock::now();
    for (auto& connection : connections_) {
        Connection& c = *connection;
        Segment* segment = map_.Find(c.segment);
        if (!c.active || segment == nullptr || !segment->Done()) {
            continue;
        }
        // An answer that runs past its segment's end would bring nothing more of use. One that ends
        // there, close behind, ends and keeps its connection for the next request: another request
        // would cost more than the bytes it has left.
        int64_t answerEnd = c.last < 0 ? map_.size : c.last + 1;
        double rate = Rate(c, now);
        bool behind = c.cursor.writePos < segment->end;
        if (answerEnd > segment->end ||
            (behind && (rate <= 0 || static_cast<double>(segment->end - c.cursor.writePos) / rate > requestSeconds_))) {
            Close(c);
        }
    }
}

void SegmentedTransfer::Start(Connection& c) {
    c.waiting = c.paused = c.pooled = false;
    Segment* segment = map_.Find(c.segment);
    c.from = c.refetchFrom >= 0        ? c.refetchFrom
             : segment->checkFrom >= 0 ? segment->checkFrom
                                       : segment->next - SegmentOverlap(segment->next - segment->start);
    c.refetchFrom = segment->checkFrom = -1;
    // A segment that runs to the end asks for the rest of the file, however long that is.
    bool toEnd = segment->end >= map_.size;
    c.last = toEnd ? -1 : segment->end - 1;
    c.ranged = !(c.from == 0 && toEnd && setup_.limit == 1);
    c.cursor = DataFile::Cursor::At(c.from, segment->next);
    c.checked = c.accepted = c.told = c.brought = false;
    c.markTime = c.judgedFrom = SteadyClock::now();
    c.received = c.markBytes = c.judgedBytes = 0;
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
    c.range = std::to_string(c.from) + "-" + (toEnd ? "" : std::to_string(c.last));
    curl_easy_setopt(easy, CURLOPT_RANGE, c.ranged ? c.range.c_str() : nullptr);
    c.headers.reset();
    if (c.ranged && !setup_.ifRange.empty()) {
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
        Close(**it);
    }
}

void SegmentedTransfer::Close(Connection& c) {
    if (c.active) {
        curl_multi_remove_handle(static_cast<CURLM*>(multi_), c.easy.get());
        c.active = false;
    }
    if (c.segment >= 0 || c.waiting) {
        Release(c);
    }
}

bool SegmentedTransfer::AllBrought() const {
    return std::all_of(connections_.begin(), connections_.end(),
                       [](const auto& c) { return !(c->active || c->waiting) || (c->active && c->brought); });
}

std::vector<double> SegmentedTransfer::Rates() const {
    auto now = SteadyClock::now();
    std::vector<double> rates;
    for (const auto& c : connections_) {
        rates.push_back(Rate(*c, now));
    }
    return rates;
}

void SegmentedTransfer::ReplaceSlow(SteadyClock::time_point now, bool limited) {
    // Under a speed limit a connection is as slow as its turn at the limiter, not as the server makes it.
    if (limited || Running() < 2) {
        return;
    }
    std::vector<double> others;
    for (const auto& c : connections_) {
        if (c->active && c->brought) {
            others.push_back(Rate(*c, now));
        }
    }
    std::sort(others.begin(), others.end());
    if (others.size() < 2) {
        return;
    }
    double typical = others[others.size() / 2];
    for (auto& connection : connections_) {
        Connection& c = *connection;
        Segment* segment = map_.Find(c.segment);
        auto running = now - c.judgedFrom;
        if (!c.active || !c.brought || segment == nullptr || running < kJudgeAfter) {
            continue;
        }
        // Slow over its whole answer, and with enough left that it would hold the file for long.
        double rate = static_cast<double>(c.received - c.judgedBytes) / std::chrono::duration<double>(running).count();
        double needs = rate > 0 ? static_cast<double>(segment->Left()) / rate : kJudgeAfter.count() + 1.0;
        if (rate * kSlowFactor < typical && needs > std::chrono::duration<double>(kJudgeAfter).count()) {
            // Its segment goes to the next connection to look for work; a new one may reach a faster server.
            Close(c);
            c.rate = -1;
            ramp_.Restart();
            return;
        }
    }
}

double SegmentedTransfer::Rate(const Connection& c, SteadyClock::time_point now) {
    // A window that has run its length counts as it stands: a connection that went quiet is slow now.
    if (auto running = now - c.markTime; c.segment >= 0 && running >= kRateWindow) {
        return static_cast<double>(c.received - c.markBytes) / std::chrono::duration<double>(running).count();
    }
    return c.rate;
}

void SegmentedTransfer::NoteRequestCost(Connection& c) {
    curl_off_t micros = 0;
    if (curl_easy_getinfo(c.easy.get(), CURLINFO_STARTTRANSFER_TIME_T, &micros) != CURLE_OK || micros <= 0) {
        return;
    }
    // The last few answers count: a new connection costs more than one kept open. Even next door, a
    // request is never taken as free: pieces cut finer would cost more in answers than they save.
    double seconds = std::max(static_cast<double>(micros) / 1e6, kFewestRequestSeconds);
    requestSeconds_ = requestsTimed_++ == 0 ? seconds : 0.75 * requestSeconds_ + 0.25 * seconds;
}

void SegmentedTransfer::Release(Connection& c) {
    if (Segment* segment = map_.Find(c.segment); segment != nullptr && segment->owner == c.index) {
        // A connection that fetched the same rest alongside goes on with it alone.
        auto other = std::find_if(connections_.begin(), connections_.end(),
                                  [&](const auto& o) { return o.get() != &c && o->active && o->segment == c.segment; });
        segment->owner = other != connections_.end() ? (*other)->index : -1;
    }
    c.segment = -1;
    c.waiting = false;
}

void SegmentedTransfer::Ended(Connection& c, int code) {
    c.pooled = code == CURLE_OK;
    if (!c.checked) {
        // An answer without a body (an error page, an empty file) never reached Write.
        c.checked = true;
        if (code == CURLE_OK) {
            CheckHeaders(c);
        } else if (c.judge.ReadStatus(c.easy.get()) >= 400) {
            c.verdict = Verdict::Status;
        }
    }
    // A body too short to tell whether it is a web page has waited for its end.
    if (c.verdict == Verdict::None && code == CURLE_OK && !c.accepted) {
        std::string_view passed;
        if (c.judge.Take({}, true, passed) == AnswerJudge::Body::WebPage) {
            c.verdict = Verdict::WebPage;
        } else if (std::string held(passed); Accept(c) && !Take(c, held.data(), held.size())) {
            code = CURLE_WRITE_ERROR;
        }
    }
    Segment* segment = map_.Find(c.segment);
    // Without a size from the server, the answer's end is the file's.
    if (code == CURLE_OK && c.verdict == Verdict::None && segment != nullptr && map_.size == kUnknownSize) {
        map_.size = segment->end = segment->next;
    }
    switch (c.verdict) {
        case Verdict::SegmentEnd:
            Release(c);
            return;
        case Verdict::RangesIgnored:
            result_.fallback = SegmentedResult::Fallback::RangesIgnored;
            End(Outcome::Single);
            return;
        case Verdict::Changed:
        case Verdict::WebPage:
            // Only the answers of a connection alone judge the file: to an extra connection, another
            // version or a web page refuses extra connections.
            if (!Alone(c)) {
                Release(c);
                oneOnly_ = true;
                result_.cap = 1;
                result_.fallback = SegmentedResult::Fallback::RangesRefused;
                return;
            }
            End(c.verdict == Verdict::Changed ? Outcome::Changed : Outcome::WebPage);
            return;
        case Verdict::WriteFailed:
            result_.writeError = data_.Error();
            End(Outcome::Failed, CURLE_WRITE_ERROR);
            return;
        case Verdict::Mismatch:
            if (c.judge.MismatchAgain(c.cursor.mismatchAt)) {
                End(Outcome::Mismatch);
                return;
            }
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
    long status = c.judge.status();
    // 416 or 403 before any range of this run brought a byte: the server will not serve such ranges.
    bool badRange = c.verdict == Verdict::BadRange || status == 416 || (status == 403 && !rangesServed_);
    if (Alone(c)) {
        if (setup_.limit == 1 && c.verdict == Verdict::BadRange && c.ranged) {
            // One connection: a 206 from the wrong place gets the whole file asked for instead.
            data_.StartOver();
            map_.segments = {Segment{0, 0, map_.size, c.index}};
            c.segment = 0;
            c.refetchFrom = -1;
            Start(c);
            return;
        }
        // The last of several: a server that will not answer ranges over several connections gets
        // one; anything else is the worker's to mend as with a single connection.
        if (setup_.limit > 1 && badRange) {
            result_.fallback = SegmentedResult::Fallback::RangesRefused;
            End(Outcome::Single);
            return;
        }
        // Turned away before any range of this run was served: the server may not yet have seen the
        // answer that this run took over go. Asked again a while later, then one connection as before.
        bool refused = (c.verdict == Verdict::Status && IsBusyStatus(status)) || code == CURLE_COULDNT_CONNECT;
        if (setup_.limit > 1 && refused && !rangesServed_) {
            if (firstRefusals_ < std::min<size_t>(kFirstRefusals, setup_.waits.size())) {
                c.waiting = true;
                c.retryAt = SteadyClock::now() + setup_.waits[firstRefusals_++];
                return;
            }
            result_.fallback = SegmentedResult::Fallback::ConnectionsRefused;
            End(Outcome::Single);
            return;
        }
        result_.status = c.verdict == Verdict::Status || c.verdict == Verdict::BadRange ? status : 0;
        if (c.easy) {
            curl_off_t seconds = 0;
            curl_easy_getinfo(c.easy.get(), CURLINFO_RETRY_AFTER, &seconds);
            result_.retryAfterSeconds = static_cast<long>(seconds);
        }
        End(Outcome::Failed, code == CURLE_OK ? CURLE_HTTP_RETURNED_ERROR : code);
        return;
    }
    if (c.twice && c.verdict == Verdict::None) {
        Release(c);  // a second fetch that failed leaves the rest to its owner
        return;
    }
    if (!c.brought || c.verdict != Verdict::None) {
        // Turned away, refused or cut before its first byte while others work: fewer connections.
        // That is never an attempt of the task.
        Release(c);
        ramp_.Refused(Running());
        askAgainAt_ = SteadyClock::now() + askAgainWait_;
        askAgainWait_ = std::min<SteadyClock::duration>(askAgainWait_ * 2, kAskAgainLast);
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
            c.pausedAt = SteadyClock::now();
            c.resumeAt = c.pausedAt + std::chrono::duration_cast<SteadyClock::duration>(
                                          std::chrono::duration<double, std::milli>(wait));
            return CURL_WRITEFUNC_PAUSE;
        }
    }
    if (c.accepted) {
        return Take(c, data, bytes) ? bytes : 0;
    }
    std::string_view passed;
    switch (c.judge.Take({data, bytes}, false, passed)) {
        case AnswerJudge::Body::NeedMore:
            return bytes;
        case AnswerJudge::Body::WebPage:
            c.verdict = Verdict::WebPage;
            return 0;
        case AnswerJudge::Body::Pass:
            break;
    }
    return Accept(c) && Take(c, passed.data(), passed.size()) ? bytes : 0;
}

bool SegmentedTransfer::CheckHeaders(Connection& c) {
    KnownFile file = setup_.file;
    file.size = map_.size == kUnknownSize ? -1 : map_.size;
    switch (c.judge.Judge(c.easy.get(), file, c.from, c.last, c.ranged)) {
        case AnswerJudge::Headers::Range:
        case AnswerJudge::Headers::Whole:
            return true;
        case AnswerJudge::Headers::Status:
            c.verdict = Verdict::Status;
            return false;
        case AnswerJudge::Headers::BadRange:
            c.verdict = Verdict::BadRange;
            return false;
        case AnswerJudge::Headers::Changed:
            c.verdict = Verdict::Changed;
            return false;
    }
    return false;
}

bool SegmentedTransfer::Alone(const Connection& c) const {
    return std::none_of(connections_.begin(), connections_.end(),
                        [&](const auto& other) { return other.get() != &c && (other->active || other->waiting); });
}

bool SegmentedTransfer::Accept(Connection& c) {
    c.accepted = true;
    if (c.judge.whole()) {
        // The whole file to a range, while other connections fetch theirs: the server ignores ranges,
        // or has another version.
        if (!Alone(c)) {
            c.verdict = c.judge.sameVersion() ? Verdict::RangesIgnored : Verdict::Changed;
            return false;
        }
        if (c.ranged && c.judge.sameVersion()) {
            // The server ignores ranges: this one connection brings the file.
            result_.fallback = SegmentedResult::Fallback::RangesIgnored;
            oneOnly_ = true;
        }
        // From the first byte, of the known version, it goes on like a range from there.
        if (c.from != 0 || data_.StartOverPlanned() || !c.judge.sameVersion()) {
            return StartOver(c);
        }
    }
    if (data_.StartOverPlanned()) {
        // Nothing was written since the start over was planned: every segment is empty.
        if (!Replaces(c) || !data_.Accept(map_.size != kUnknownSize ? map_.size : -1)) {
            c.verdict = c.verdict == Verdict::None ? Verdict::WriteFailed : c.verdict;
            return false;
        }
        Tell(c, true);
    }
    return true;
}

bool SegmentedTransfer::Replaces(Connection& c) {
    // An answer labelled a web page has not shown that it is the file the bytes on disk are of.
    if (c.judge.namesWebPage() && data_.WouldReplace()) {
        c.verdict = Verdict::WebPage;
        return false;
    }
    return true;
}

bool SegmentedTransfer::StartOver(Connection& c) {
    data_.StartOver();
    // The new file is reserved whole; the map's old bytes are gone with the old file.
    if (!Replaces(c) || !data_.Accept(map_.size != kUnknownSize ? map_.size : -1)) {
        c.verdict = c.verdict == Verdict::None ? Verdict::WriteFailed : c.verdict;
        return false;
    }
    map_.segments = {Segment{0, 0, map_.size, c.index}};
    c.segment = 0;
    c.from = 0;
    c.cursor = DataFile::Cursor::At(0, 0);
    // Further connections ask for ranges of this version.
    if (!c.judge.etag().empty() || !c.judge.lastModified().empty()) {
        setup_.file.etag = c.judge.etag();
        setup_.file.lastModified = c.judge.lastModified();
        setup_.ifRange = !setup_.file.etag.empty() ? setup_.file.etag : setup_.file.lastModified;
    }
    Tell(c, true);
    return true;
}

void SegmentedTransfer::Tell(Connection& c, bool startsOver) {
    c.told = true;
    if (setup_.accepted) {
        setup_.accepted(
            {startsOver, c.judge.whole() && c.from == 0, c.judge.etag(), c.judge.lastModified(), c.judge.digest()});
    }
}

bool SegmentedTransfer::Take(Connection& c, const char* data, size_t bytes) {
    Segment* segment = map_.Find(c.segment);
    // A segment's end moves up when another connection takes its second half.
    auto room = static_cast<size_t>(std::max<int64_t>(segment->end - c.cursor.writePos, 0));
    size_t taken = std::min(bytes, room);
    if (c.received == 0) {
        NoteRequestCost(c);
    }
    c.received += static_cast<int64_t>(taken);
    if (auto now = SteadyClock::now(); now - c.markTime >= kRateWindow) {
        c.rate = Rate(c, now);
        c.markTime = now;
        c.markBytes = c.received;
    }
    c.cursor.CompareTo(segment->next);
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
        c.brought = c.worked = rangesServed_ = true;
        rangeAnswered_ = rangeAnswered_ || !c.judge.whole();
    }
    // Past the bytes it fetched again, the answer has shown that it goes on the file on disk.
    if (!c.told && c.cursor.writePos >= c.cursor.compareEnd) {
        c.told = true;
        Tell(c, false);
    }
    if (taken < bytes) {
        c.verdict = Verdict::SegmentEnd;
        return false;
    }
    return true;
}

}  // namespace tarvane
