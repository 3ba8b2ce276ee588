#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tarvane::test {

// Deterministic file content: the same size and seed always give the same bytes.
std::string MakeFileBytes(size_t size, unsigned seed = 1);
// One entry of an archive made for a test; links and folders make hostile ones.
struct ArchiveEntry {
    enum Type { File, Folder, Symlink, Hardlink };
    std::string name;  // written as its bytes, without the UTF-8 mark
    std::string bytes{};
    Type type = File;
    std::string target{};  // of a link
    bool executable = false;
};
// A "zip", "7z" or "tar" archive of the entries, made by libarchive's writer; a zip's entries are
// encrypted with `passphrase` when one is given. Rar cannot be made with free tools, so tests have none.
std::string MakeArchive(const std::string& format, const std::vector<ArchiveEntry>& entries,
                        const std::string& passphrase = {});
// The byte at `offset` of a virtual file.
inline char VirtualByte(uint64_t offset) {
    return static_cast<char>((offset * 2654435761u >> 13) & 0xFF);
}

// A local web site on 127.0.0.1 and an ephemeral port: file servers with their failure modes and
// the parse service, for engine tests. Stops with the object.
class TestSite {
public:
    explicit TestSite(int port = 0);  // an ephemeral port unless one is named
    ~TestSite();
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:PORT"
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    // "http://127.0.0.1:PORT" + path
    std::string Url(const std::string& path) const { return "http://" + Host() + path; }

    // One answer of a file.
    struct Answer {
        std::string bytes{};  // the file as this answer has it; the page of an error status
        std::string etag{};   // sent when not empty; an If-Range naming another gets all of it
        // 200: the file with Range support; 206: `bytes` as they are, whatever range was asked, with
        // the Content-Range of `headers`; another status answers with `bytes` as its page.
        int status = 200;
        size_t cutAfter = SIZE_MAX;  // the body ends after this many bytes: dropped, or
        bool stall = false;          // the server goes quiet there for `stallFor` (or until released)
        std::chrono::milliseconds stallFor{std::chrono::seconds(10)};
        std::string contentType = "application/octet-stream";
        std::map<std::string, std::string> headers{};  // sent as they are, such as a Location
        bool chunked = false;                          // no Content-Length
        bool ignoreRange = false;                      // always 200 with the whole content, as some servers do
        size_t bytesPerSecond = 0;                     // sent about this fast, so a test can act while it is under way
        uint64_t virtualSize = 0;                      // made up on the fly (VirtualByte), for sizes beyond memory
        size_t maxConnections = 0;                     // a range asked beyond this many at once gets 503
        std::string beyondPage{};                      // or, when set, this page as a 200 (a login page)
        std::string offsetBytes{};  // when set, what a range not from byte 0 gets (a node out of step)
        size_t earlyBy = 0;         // a range not from byte 0 starts this much earlier, as its Content-Range says
        // When set, the n-th request of the path is sent at ratesByArrival[n % size] bytes per second, as
        // the nodes of a busy mirror behind one name serve their connections.
        std::vector<size_t> ratesByArrival{};
    };
    // The n-th request of `path` gets answers[n] (the last one from then on).
    void AddScriptedFile(const std::string& path, std::vector<Answer> answers);
    void Add(const std::string& path, Answer answer) { AddScriptedFile(path, {std::move(answer)}); }

    void AddFile(const std::string& path, std::string bytes, std::string contentType = "application/octet-stream") {
        Add(path, {.bytes = std::move(bytes), .contentType = std::move(contentType)});
    }
    // The connection is dropped after `dropAfter` bytes of every response (ranges included).
    void AddDroppingFile(const std::string& path, std::string bytes, size_t dropAfter) {
        Add(path, {.bytes = std::move(bytes), .cutAfter = dropAfter});
    }
    // Sends `stallAfter` bytes, then stalls until ReleaseStalls or the site's end.
    void AddStallingFile(const std::string& path, std::string bytes, size_t stallAfter) {
        Add(path,
            {.bytes = std::move(bytes), .cutAfter = stallAfter, .stall = true, .stallFor = std::chrono::minutes(1)});
    }
    void AddSlowFile(const std::string& path, std::string bytes, size_t bytesPerSecond) {
        Add(path, {.bytes = std::move(bytes), .bytesPerSecond = bytesPerSecond});
    }
    void AddStatus(const std::string& path, int status, std::string body) {
        Add(path, {.bytes = std::move(body), .status = status});
    }
    void ReleaseStalls();

    // Parse service on "/softAssist/parse/parse_fileInfo.php": answers a page link with its real
    // link and name in the service's Base64 form, or with a raw body.
    void SetParseReply(const std::string& pageLink, const std::string& realLink, const std::string& name);
    void SetRawParseReply(const std::string& pageLink, std::string rawBody);
    // The answer to the page's requests after those answered so far (the last one from then on).
    void AddParseReply(const std::string& pageLink, const std::string& realLink, const std::string& name);
    // From now on the service answers nothing, until ReleaseStalls or the site's end.
    void HoldParseReplies();

    // What the site saw.
    int RequestCount(const std::string& path) const;
    std::vector<std::string> RangeHeaders(const std::string& path) const;
    std::vector<std::string> IfRangeHeaders(const std::string& path) const;
    std::vector<std::string> ParseRequestLinks() const;  // decoded page links asked for
    std::string LastUserAgent(const std::string& path) const;
    // The most ranges of `path` under way at once.
    int PeakConnections(const std::string& path) const;
    // Bytes of `path` handed to the network, cut and repeated answers included.
    uint64_t BytesSent(const std::string& path) const;

private:
    struct Script {
        std::vector<Answer> answers;
        size_t served = 0;
    };

    void ServeParse(const httplib::Request& req, httplib::Response& res);
    void Serve(const httplib::Request& req, httplib::Response& res, std::shared_ptr<Answer> answer,
               std::function<void(bool)> ended);
    // Waits up to `limit` for ReleaseStalls; answers whether it came.
    bool WaitForRelease(std::chrono::milliseconds limit);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Script> scripts_;
    std::map<std::string, std::vector<std::string>> parseReplies_;
    std::map<std::string, std::size_t> parseServed_;
    std::vector<std::string> parseLinks_;
    std::map<std::string, std::vector<std::string>> ranges_;  // the Range header of every request
    std::map<std::string, std::vector<std::string>> ifRanges_;
    std::map<std::string, std::string> agents_;
    // The ranges under way, by the client's port of their connection; one whose connection the client
    // has closed stops counting at once, however late the server's next write would find it.
    std::map<std::string, std::multiset<int>> active_;
    int ActiveRangesLocked(const std::string& path);
    std::map<std::string, int> peak_;
    std::map<std::string, uint64_t> sent_;
    std::condition_variable stallReleased_;
    bool stallsReleased_ = false;
    bool parseHeld_ = false;
};

}  // namespace tarvane::test
