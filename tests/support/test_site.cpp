#include "tests/support/test_site.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <stdexcept>

#include "tarvane/engine/base64.h"

namespace tarvane::test {

namespace {
constexpr const char* kParsePath = "/softAssist/parse/parse_fileInfo.php";
}

std::string MakeFileBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::minstd_rand generator(seed);
    for (auto& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

struct TestSite::Entry {
    enum class Kind {
        File,
        NoLength,
        IgnoreRange,
        Dropping,
        Stalling,
        Slow,
        Virtual,
        Redirect,
        Status,
        Hostile,
        Versions,
        Scripted
    } kind = Kind::File;
    std::vector<Answer> answers;
    Hostile hostile = Hostile::RangeEarly;
    std::vector<std::string> versions;
    size_t served = 0;
    std::string bytes;
    std::string contentType;
    size_t limit = 0;  // drop or stall point; bytes per second of a slow file
    uint64_t virtualSize = 0;
    int status = 200;
    std::string location;
};

TestSite::TestSite() : server_(std::make_unique<httplib::Server>()) {
    // Workers that stall must not starve the rest of the site.
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Record(req.path, req.get_header_value("Range"), req.get_header_value("User-Agent"));
        if (req.path == kParsePath) {
            // The link travels unescaped, so '+' must not be taken for a blank: read the raw target.
            std::string link;
            auto at = req.target.find("link=");
            if (at != std::string::npos && at + 6 <= req.target.size()) {
                Base64Decode(req.target.substr(at + 6), link);
            }
            std::lock_guard lock(mutex_);
            parseLinks_.push_back(link);
            auto reply = parseReplies_.find(link);
            res.set_content(reply == parseReplies_.end() ? std::string(" ") : reply->second, "text/html");
            return;
        }
        std::shared_ptr<Entry> entry;
        {
            std::lock_guard lock(mutex_);
            auto found = entries_.find(req.path);
            if (found != entries_.end()) {
                entry = found->second;
            }
        }
        if (!entry) {
            res.status = 404;
            res.set_content("<html><body>404 Not Found</body></html>", "text/html");
            return;
        }
        if (entry->kind == Entry::Kind::Scripted) {
            Answer answer;
            {
                std::lock_guard lock(mutex_);
                answer = entry->answers[std::min(entry->served++, entry->answers.size() - 1)];
            }
            ServeAnswer(req, res, std::make_shared<Answer>(std::move(answer)));
            return;
        }
        if (entry->kind == Entry::Kind::Versions) {
            std::lock_guard lock(mutex_);
            res.set_content(entry->versions[std::min(entry->served++, entry->versions.size() - 1)],
                            "application/octet-stream");
            return;
        }
        switch (entry->kind) {
            case Entry::Kind::Hostile: {
                size_t from = entry->limit;
                if (entry->hostile == Hostile::RangeEarly) {
                    if (req.ranges.empty()) {
                        res.set_content(entry->bytes, "application/octet-stream");
                        break;
                    }
                    from = static_cast<size_t>(req.ranges[0].first) - entry->limit;
                }
                const_cast<httplib::Request&>(req).ranges.clear();
                res.status = 206;
                res.set_header("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                    std::to_string(entry->bytes.size() - 1) + "/" +
                                                    std::to_string(entry->bytes.size()));
                res.set_content(entry->bytes.substr(from), "application/octet-stream");
                break;
            }
            case Entry::Kind::Versions:
            case Entry::Kind::Scripted:
                break;
            case Entry::Kind::File:
                res.set_content(entry->bytes, entry->contentType.c_str());
                break;
            case Entry::Kind::IgnoreRange:
                // Answer every request with the whole file and status 200, as some servers do.
                const_cast<httplib::Request&>(req).ranges.clear();
                res.set_content(entry->bytes, entry->contentType.c_str());
                break;
            case Entry::Kind::NoLength:
                res.set_chunked_content_provider(entry->contentType.c_str(),
                                                 [entry](size_t offset, httplib::DataSink& sink) {
                                                     if (offset >= entry->bytes.size()) {
                                                         sink.done();
                                                         return true;
                                                     }
                                                     size_t n = std::min<size_t>(65536, entry->bytes.size() - offset);
                                                     return sink.write(entry->bytes.data() + offset, n);
                                                 });
                break;
            case Entry::Kind::Dropping:
            case Entry::Kind::Stalling: {
                auto sent = std::make_shared<size_t>(0);
                res.set_content_provider(entry->bytes.size(), entry->contentType.c_str(),
                                         [this, entry, sent](size_t offset, size_t length, httplib::DataSink& sink) {
                                             size_t room = entry->limit > *sent ? entry->limit - *sent : 0;
                                             size_t n = std::min({length, room, size_t{65536}});
                                             if (n > 0) {
                                                 *sent += n;
                                                 return sink.write(entry->bytes.data() + offset, n);
                                             }
                                             if (entry->kind == Entry::Kind::Stalling) {
                                                 std::unique_lock lock(mutex_);
                                                 stallReleased_.wait_for(lock, std::chrono::seconds(60),
                                                                         [this] { return stallsReleased_; });
                                             }
                                             return false;  // ends the connection mid-body
                                         });
                break;
            }
            case Entry::Kind::Slow:
                res.set_content_provider(entry->bytes.size(), entry->contentType.c_str(),
                                         [this, entry](size_t offset, size_t length, httplib::DataSink& sink) {
                                             // A tenth of a second's worth at a time.
                                             size_t n = std::min({length, std::max<size_t>(entry->limit / 10, 1)});
                                             std::unique_lock lock(mutex_);
                                             if (stallReleased_.wait_for(lock, std::chrono::milliseconds(100),
                                                                         [this] { return stallsReleased_; })) {
                                                 return false;
                                             }
                                             lock.unlock();
                                             return sink.write(entry->bytes.data() + offset, n);
                                         });
                break;
            case Entry::Kind::Virtual:
                res.set_content_provider(entry->virtualSize, "application/octet-stream",
                                         [](size_t offset, size_t length, httplib::DataSink& sink) {
                                             char block[65536];
                                             size_t n = std::min(length, sizeof block);
                                             for (size_t i = 0; i < n; ++i) {
                                                 block[i] = VirtualByte(offset + i);
                                             }
                                             return sink.write(block, n);
                                         });
                break;
            case Entry::Kind::Redirect:
                res.status = entry->status;
                res.set_header("Location", entry->location);
                break;
            case Entry::Kind::Status:
                res.status = entry->status;
                res.set_content(entry->bytes, "text/html");
                break;
        }
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("test site: cannot listen on 127.0.0.1");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() before the loop runs would be lost and the join would wait for ever.
    for (int i = 0; i < 500 && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

TestSite::~TestSite() {
    ReleaseStalls();
    server_->stop();
    thread_.join();
}

std::string TestSite::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string TestSite::HostWithPort(const std::string& host) const {
    return host + ":" + std::to_string(port_);
}

void TestSite::AddFile(const std::string& path, std::string bytes, std::string contentType) {
    auto entry = std::make_shared<Entry>();
    entry->bytes = std::move(bytes);
    entry->contentType = std::move(contentType);
    std::lock_guard lock(mutex_);
    entries_[path] = entry;
}

void TestSite::AddFileWithoutLength(const std::string& path, std::string bytes, std::string contentType) {
    AddFile(path, std::move(bytes), std::move(contentType));
    std::lock_guard lock(mutex_);
    entries_[path]->kind = Entry::Kind::NoLength;
}

void TestSite::AddFileIgnoringRange(const std::string& path, std::string bytes) {
    AddFile(path, std::move(bytes));
    std::lock_guard lock(mutex_);
    entries_[path]->kind = Entry::Kind::IgnoreRange;
}

void TestSite::AddDroppingFile(const std::string& path, std::string bytes, size_t dropAfter) {
    AddFile(path, std::move(bytes));
    std::lock_guard lock(mutex_);
    entries_[path]->kind = Entry::Kind::Dropping;
    entries_[path]->limit = dropAfter;
}

void TestSite::AddStallingFile(const std::string& path, std::string bytes, size_t stallAfter) {
    AddFile(path, std::move(bytes));
    std::lock_guard lock(mutex_);
    entries_[path]->kind = Entry::Kind::Stalling;
    entries_[path]->limit = stallAfter;
}

void TestSite::AddSlowFile(const std::string& path, std::string bytes, size_t bytesPerSecond) {
    AddFile(path, std::move(bytes));
    std::lock_guard lock(mutex_);
    entries_[path]->kind = Entry::Kind::Slow;
    entries_[path]->limit = bytesPerSecond;
}

void TestSite::AddVirtualFile(const std::string& path, uint64_t size) {
    auto entry = std::make_shared<Entry>();
    entry->kind = Entry::Kind::Virtual;
    entry->virtualSize = size;
    std::lock_guard lock(mutex_);
    entries_[path] = entry;
}

void TestSite::AddRedirect(const std::string& from, const std::string& toUrl, int status) {
    auto entry = std::make_shared<Entry>();
    entry->kind = Entry::Kind::Redirect;
    entry->status = status;
    entry->location = toUrl;
    std::lock_guard lock(mutex_);
    entries_[from] = entry;
}

void TestSite::AddHostileFile(const std::string& path, std::string bytes, Hostile kind, size_t amount) {
    AddFile(path, std::move(bytes));
    std::lock_guard lock(mutex_);
    entries_[path]->kind = Entry::Kind::Hostile;
    entries_[path]->hostile = kind;
    entries_[path]->limit = amount;
}

void TestSite::AddFileVersions(const std::string& path, std::vector<std::string> versions) {
    auto entry = std::make_shared<Entry>();
    entry->kind = Entry::Kind::Versions;
    entry->versions = std::move(versions);
    std::lock_guard lock(mutex_);
    entries_[path] = entry;
}

void TestSite::ServeAnswer(const httplib::Request& req, httplib::Response& res, std::shared_ptr<Answer> answer) {
    if (answer->status != 200) {
        const_cast<httplib::Request&>(req).ranges.clear();
        res.status = answer->status;
        res.set_content("<html><body>gone</body></html>", "text/html");
        return;
    }
    if (!answer->etag.empty()) {
        res.set_header("ETag", answer->etag);
        if (req.has_header("If-Range") && req.get_header_value("If-Range") != answer->etag) {
            const_cast<httplib::Request&>(req).ranges.clear();
        }
    }
    auto sent = std::make_shared<size_t>(0);
    res.set_content_provider(answer->bytes.size(), "application/octet-stream",
                             [this, answer, sent](size_t offset, size_t length, httplib::DataSink& sink) {
                                 size_t room = answer->cutAfter > *sent ? answer->cutAfter - *sent : 0;
                                 size_t n = std::min({length, room, size_t{65536}});
                                 if (n > 0) {
                                     *sent += n;
                                     return sink.write(answer->bytes.data() + offset, n);
                                 }
                                 if (answer->stall) {
                                     std::unique_lock lock(mutex_);
                                     stallReleased_.wait_for(lock, answer->stallFor,
                                                             [this] { return stallsReleased_; });
                                 }
                                 return false;
                             });
}

void TestSite::AddScriptedFile(const std::string& path, std::vector<Answer> answers) {
    auto entry = std::make_shared<Entry>();
    entry->kind = Entry::Kind::Scripted;
    entry->answers = std::move(answers);
    std::lock_guard lock(mutex_);
    entries_[path] = entry;
}

void TestSite::AddStatus(const std::string& path, int status, std::string body) {
    auto entry = std::make_shared<Entry>();
    entry->kind = Entry::Kind::Status;
    entry->status = status;
    entry->bytes = std::move(body);
    std::lock_guard lock(mutex_);
    entries_[path] = entry;
}

void TestSite::ReleaseStalls() {
    {
        std::lock_guard lock(mutex_);
        stallsReleased_ = true;
    }
    stallReleased_.notify_all();
}

void TestSite::SetParseReply(const std::string& pageLink, const std::string& realLink, const std::string& name) {
    SetRawParseReply(pageLink, "x" + Base64Encode(realLink + "|||" + name));
}

void TestSite::SetRawParseReply(const std::string& pageLink, std::string rawBody) {
    std::lock_guard lock(mutex_);
    parseReplies_[pageLink] = std::move(rawBody);
}

void TestSite::Record(const std::string& path, const std::string& range, const std::string& agent) {
    std::lock_guard lock(mutex_);
    ++requestCounts_[path];
    ranges_[path].push_back(range);
    agents_[path] = agent;
}

int TestSite::RequestCount(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = requestCounts_.find(path);
    return found == requestCounts_.end() ? 0 : found->second;
}

std::vector<std::string> TestSite::RangeHeaders(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = ranges_.find(path);
    return found == ranges_.end() ? std::vector<std::string>{} : found->second;
}

std::vector<std::string> TestSite::ParseRequestLinks() const {
    std::lock_guard lock(mutex_);
    return parseLinks_;
}

std::string TestSite::LastUserAgent(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = agents_.find(path);
    return found == agents_.end() ? "" : found->second;
}

}  // namespace tarvane::test
