#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tarvane/engine/data_file.h"
#include "tarvane/engine/segment_map.h"
#include "tarvane/engine/segment_plan.h"
#include "tarvane/engine/speed_limiter.h"

namespace tarvane {

// What a transfer over several connections needs from its worker.
struct SegmentedSetup {
    int limit = 8;             // connections at most
    std::string ifRange;       // the file's validator, sent with every range
    std::string etag;          // the file's validators: a whole answer with others is another file
    std::string lastModified;  //
    std::string type;          // of the data file: a web page's own type may well be markup
    // The waits before each further attempt of a connection that was cut or stalled.
    std::vector<std::chrono::milliseconds> waits;
    // Sets a connection's request options (link, proxy, agent, limits); false when it cannot.
    std::function<bool(void* curlHandle)> configure;
    // Called often: shows and records the bytes done; false stops the transfer (a pause, a file gone).
    std::function<bool(int64_t done, int connections)> progress;
    // How long each step of the connection ramp runs before its speed is taken.
    std::chrono::milliseconds stepTime{300};
    // Asked before every write of every connection; none: no limit.
    LimiterShare* share = nullptr;
};

struct SegmentedResult {
    enum class Outcome {
        Done,      // every segment is on disk
        Stopped,   // progress asked to stop
        Single,    // ranges cannot be had over several connections: go on with one
        Changed,   // an answer was of another version of the file
        WebPage,   // an answer was a web page
        Mismatch,  // bytes fetched again differed twice at one place from the disk
        Failed,    // the last connection failed: `code`, `status`, `writeError`
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

// One file over several connections at once, on the calling thread (libcurl multi): each connection
// fetches a segment of `map` into the data file at its own offset; one that finishes takes over the
// second half of the segment with most left. The map's `next` marks count bytes handed to the disk,
// not yet synced: the worker syncs before it saves the map.
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
    bool Open();
    void Start(Connection& connection);
    void Ended(Connection& connection, int code);
    bool CheckHeaders(Connection& connection);
    bool Take(Connection& connection, const char* data, size_t bytes);
    void Release(Connection& connection);
    // Closes connections beyond the ramp's count.
    void StopBeyondTarget();
    // Lets paused connections go on once their wait has passed; answers the time to the next such.
    std::chrono::milliseconds Unpause();
    int Running() const;
    void End(SegmentedResult::Outcome outcome, int code = 0);

    DataFile& data_;
    SegmentMap& map_;
    SegmentedSetup setup_;
    void* multi_ = nullptr;  // CURLM*
    std::vector<std::unique_ptr<Connection>> connections_;
    ConnectionRamp ramp_;
    bool ended_ = false;
    bool rangesServed_ = false;  // a range of this run brought bytes
    size_t firstRefusals_ = 0;
    SegmentedResult result_;
};

}  // namespace tarvane
