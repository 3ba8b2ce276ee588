#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tarvane/engine/answer_judge.h"
#include "tarvane/engine/data_file.h"
#include "tarvane/engine/host_budget.h"
#include "tarvane/engine/segment_map.h"
#include "tarvane/engine/segment_plan.h"
#include "tarvane/engine/speed_limiter.h"

namespace tarvane {

// The size of a map whose file's size the server never named: its one segment ends where the answer does.
inline constexpr int64_t kUnknownSize = INT64_MAX;

// An answer that the file's bytes now come from: a whole file that replaced what was on disk, or an
// answer whose bytes agreed with the disk where they overlapped.
struct AcceptedAnswer {
    bool startsOver = false;  // the data file was cut: every byte comes from this answer's version
    bool whole = false;       // the whole file from its first byte
    std::string etag;         // its validators, where it named them
    std::string lastModified;
    ExpectedDigest digest;
};

// What a transfer needs from its worker.
struct SegmentedSetup {
    int limit = 8;        // connections at most; with one, a request from the first byte asks for no range
    std::string ifRange;  // the file's validator, sent with every range
    // The file's validators and type: a whole answer with other validators is another file.
    KnownFile file;
    // The waits before each further attempt of a connection that was cut or stalled.
    std::vector<std::chrono::milliseconds> waits;
    // Sets a connection's request options (link, proxy, agent, limits); false when it cannot.
    std::function<bool(void* curlHandle)> configure;
    // Called often: shows and records the bytes done; false stops the transfer (a pause, a file gone).
    std::function<bool(int64_t done, int connections)> progress;
    // Told of each answer the file's bytes come from; none: nobody is.
    std::function<void(const AcceptedAnswer&)> accepted;
    // How long the first connection runs before its speed is taken (too fast for any server limit: no more).
    std::chrono::milliseconds stepTime{150};
    // Asked before every write of every connection; none: no limit.
    LimiterShare* share = nullptr;
    // The task's place in its host's budget of connections, asked before every new connection; none:
    // no budget.
    HostShare* host = nullptr;
};

struct SegmentedResult {
    enum class Outcome {
        Done,      // every segment is on disk
        Stopped,   // progress asked to stop
        Single,    // ranges cannot be had over several connections: go on with one
        Changed,   // an answer to a connection alone was of another version of the file
        WebPage,   // an answer to a connection alone was a web page
        Mismatch,  // bytes fetched again differed twice at one place from the disk
        Failed,    // the last connection failed: `code`, `status` (an error, or a 206 to no range), `writeError`
    };
    enum class Fallback { None, RangesIgnored, RangesRefused, ConnectionsRefused };
    Outcome outcome = Outcome::Failed;
    Fallback fallback = Fallback::None;  // why fewer connections ran than were asked for
    int code = 0;
    long status = 0;
    int writeError = 0;
    long retryAfterSeconds = 0;
    int cap = 0;  // the most connections the server took, when it turned some away
};

// One file over one or several connections, on the calling thread (libcurl multi): each connection
// fetches a segment of `map` into the data file at its own offset; one that finishes takes over part of
// the segment that would take longest, so that both end together. A connection alone may get the whole file instead of
// its range: the data file starts over from it. Only the answers of a connection alone judge the file: another version
// or a web page sent to an extra connection turns extra connections away. A planned start over of the data file is made
// by the first answer that passes its checks. The map's `next` marks count bytes handed to the disk, not yet synced:
// the worker syncs before it saves the map.
class SegmentedTransfer {
public:
    SegmentedTransfer(DataFile& data, SegmentMap& map, SegmentedSetup setup);
    ~SegmentedTransfer();
    SegmentedTransfer(const SegmentedTransfer&) = delete;
    SegmentedTransfer& operator=(const SegmentedTransfer&) = delete;

    SegmentedResult Run();

    struct Connection;
    size_t Write(Connection& connection, const char* data, size_t bytes);

private:
    // The one place a connection is added to those at work: it takes work and starts; false when
    // there is none worth taking.
    bool Open();
    void Start(Connection& connection);
    // With nothing left worth splitting, a connection that has done its part fetches the rest of the
    // segment that would take longest a second time, beside its owner; the first to bring each byte
    // writes it, the other compares it. Answers the segment's start, or -1.
    int64_t RestToFetchTwice(const Connection& idle, const std::vector<double>& rates) const;
    // Closes connections whose segment is done while their answers go on: another connection finished
    // it first, or took what they had left.
    void CloseOutrun();
    void Ended(Connection& connection, int code);
    bool CheckHeaders(Connection& connection);
    // The first bytes of an answer passed its checks: a whole file or a planned start over cuts the file.
    bool Accept(Connection& connection);
    bool StartOver(Connection& connection);
    // Whether an answer may replace the bytes on disk; sets its verdict when not.
    bool Replaces(Connection& connection);
    bool Take(Connection& connection, const char* data, size_t bytes);
    bool Alone(const Connection& connection) const;
    void Tell(Connection& connection, bool startsOver);
    // What this answer's request cost before its first byte goes into the transfer's figure.
    void NoteRequestCost(Connection& connection);
    // The one place a connection stops working for the transfer: its segment is left for another.
    void Release(Connection& connection);
    // A connection's bytes per second lately; below 0 while its answer has not run long enough to tell.
    static double Rate(const Connection& connection, std::chrono::steady_clock::time_point now);
    // Every connection's Rate, by index.
    std::vector<double> Rates() const;
    // Every running connection's answer has brought bytes.
    bool AllBrought() const;
    // Closes a connection much slower than the others for long (none under a speed limit): another
    // takes its place.
    void ReplaceSlow(std::chrono::steady_clock::time_point now, bool limited);
    // Closes connections beyond the ramp's count.
    void StopBeyondTarget();
    // Takes a connection out of the transfer; its segment is left for another.
    void Close(Connection& connection);
    // Lets paused connections go on once their wait has passed; answers the time to the next such.
    std::chrono::milliseconds Unpause();
    int Running() const;
    // A place in the host's budget for one more connection; false while the host has none for it.
    bool TakeHostPlace();
    // Gives back the places of connections that ended, and a connection the host wants for another task.
    void SettleHostPlaces();
    void End(SegmentedResult::Outcome outcome, int code = 0);

    DataFile& data_;
    SegmentMap& map_;
    SegmentedSetup setup_;
    void* multi_ = nullptr;  // CURLM*
    std::vector<std::unique_ptr<Connection>> connections_;
    ConnectionRamp ramp_;
    bool ended_ = false;
    double requestSeconds_ = kRequestSeconds;  // what a request costs before its first byte, lately
    int requestsTimed_ = 0;
    bool rangesServed_ = false;   // a range of this run brought bytes
    bool rangeAnswered_ = false;  // a 206 of this run brought bytes: more connections may follow
    bool oneOnly_ = false;        // a whole file came to a range: no more connections
    size_t firstRefusals_ = 0;
    int hostPlaces_ = 0;           // places of the host's budget held
    bool waitingForHost_ = false;  // the last connection asked for was refused by the host's budget
    std::chrono::steady_clock::time_point nextHostAsk_;
    // When a server that turned connections away is asked for more again, and the wait after that.
    std::chrono::steady_clock::time_point askAgainAt_;
    std::chrono::steady_clock::duration askAgainWait_{};
    SegmentedResult result_;
};

}  // namespace tarvane
