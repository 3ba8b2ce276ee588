#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tarvane::test {

// Deterministic file content: the same size and seed always give the same bytes.
std::string MakeFileBytes(size_t size, unsigned seed = 1);
// The byte at `offset` of a virtual file.
inline char VirtualByte(uint64_t offset) {
    return static_cast<char>((offset * 2654435761u >> 13) & 0xFF);
}

// A local web site on 127.0.0.1 and an ephemeral port: file servers with their failure modes and
// the parse service, for engine tests. Stops with the object.
class TestSite {
public:
    TestSite();
    ~TestSite();
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" + path
    std::string Url(const std::string& path) const;
    // "HOST:PORT", for sites addressed by name under .localhost.
    std::string HostWithPort(const std::string& host) const;

    // A file with Range support (206 for a range request).
    void AddFile(const std::string& path, std::string bytes, std::string contentType = "application/octet-stream");
    // A file sent with chunked encoding: no Content-Length.
    void AddFileWithoutLength(const std::string& path, std::string bytes, std::string contentType = "");
    // A file whose server ignores Range and always answers 200 with the whole content.
    void AddFileIgnoringRange(const std::string& path, std::string bytes);
    // A file whose connection is dropped after `dropAfter` bytes of every response (ranges included).
    void AddDroppingFile(const std::string& path, std::string bytes, size_t dropAfter);
    // A file that sends `stallAfter` bytes, then stalls until ReleaseStalls or the site's end.
    void AddStallingFile(const std::string& path, std::string bytes, size_t stallAfter);
    // A file sent at about `bytesPerSecond`, so a test can act while it is under way.
    void AddSlowFile(const std::string& path, std::string bytes, size_t bytesPerSecond);
    // A file of `size` bytes made up on the fly (VirtualByte), for sizes that do not fit in memory.
    void AddVirtualFile(const std::string& path, uint64_t size);
    void AddRedirect(const std::string& from, const std::string& toUrl, int status = 302);
    // Misbehaving servers. RangeEarly: a range request "bytes=S-" gets a 206 from S - `amount` on,
    // its Content-Range saying so. PartialWithoutRange: every request gets a 206 from byte `amount`.
    enum class Hostile { RangeEarly, PartialWithoutRange };
    void AddHostileFile(const std::string& path, std::string bytes, Hostile kind, size_t amount);
    // The n-th request of `path` gets versions[n] (the last one from then on), with Range support.
    void AddFileVersions(const std::string& path, std::vector<std::string> versions);
    void AddStatus(const std::string& path, int status, std::string body);
    // One answer of a scripted file.
    struct Answer {
        std::string bytes;           // the file as this answer has it
        std::string etag;            // sent when not empty; an If-Range naming another gets all of it
        int status = 200;            // another status answers with an error page instead
        size_t cutAfter = SIZE_MAX;  // the body ends after this many bytes: dropped, or
        bool stall = false;          // the server goes quiet there for `stallFor` (or until released)
        std::chrono::milliseconds stallFor{std::chrono::seconds(10)};
    };
    // The n-th request of `path` gets answers[n] (the last one from then on), with Range support.
    void AddScriptedFile(const std::string& path, std::vector<Answer> answers);
    void ReleaseStalls();

    // Parse service on "/softAssist/parse/parse_fileInfo.php": answers a page link with its real
    // link and name in the service's Base64 form, or with a raw body.
    void SetParseReply(const std::string& pageLink, const std::string& realLink, const std::string& name);
    void SetRawParseReply(const std::string& pageLink, std::string rawBody);

    // What the site saw.
    int RequestCount(const std::string& path) const;
    std::vector<std::string> RangeHeaders(const std::string& path) const;
    std::vector<std::string> ParseRequestLinks() const;  // decoded page links asked for
    std::string LastUserAgent(const std::string& path) const;

private:
    struct Entry;

    void Record(const std::string& path, const std::string& range, const std::string& agent);
    void ServeAnswer(const httplib::Request& req, httplib::Response& res, std::shared_ptr<Answer> answer);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Entry>> entries_;
    std::map<std::string, std::string> parseReplies_;
    std::vector<std::string> parseLinks_;
    std::map<std::string, int> requestCounts_;
    std::map<std::string, std::vector<std::string>> ranges_;
    std::map<std::string, std::string> agents_;
    std::condition_variable stallReleased_;
    bool stallsReleased_ = false;
};

}  // namespace tarvane::test
