#include "tests/support/test_site.h"

#include <archive.h>
#include <archive_entry.h>
#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "tarvane/engine/base64.h"
#include "tests/support/connection_peak.h"

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

// A result that is no archive shows in the tests: their damaged archives would not fail.
std::string MakeArchive(const std::string& format, const std::vector<ArchiveEntry>& entries,
                        const std::string& passphrase) {
    std::string out;
    archive* a = archive_write_new();
    if (format == "7z") {
        archive_write_set_format_7zip(a);
    } else if (format == "tar") {
        archive_write_set_format_pax_restricted(a);
    } else {
        archive_write_set_format_zip(a);
    }
    if (!passphrase.empty()) {
        archive_write_set_options(a, "zip:encryption=zipcrypt");
        archive_write_set_passphrase(a, passphrase.c_str());
    }
    archive_write_set_bytes_in_last_block(a, 1);
    auto append = [](archive*, void* to, const void* bytes, size_t size) {
        static_cast<std::string*>(to)->append(static_cast<const char*>(bytes), size);
        return static_cast<la_ssize_t>(size);
    };
    archive_write_open(a, &out, nullptr, append, nullptr);
    for (const ArchiveEntry& item : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.name.c_str());
        static constexpr unsigned kTypes[] = {AE_IFREG, AE_IFDIR, AE_IFLNK, AE_IFREG};
        archive_entry_set_filetype(entry, kTypes[item.type]);
        archive_entry_set_perm(entry, item.executable || item.type == ArchiveEntry::Folder ? 0755 : 0644);
        if (item.type == ArchiveEntry::Symlink) {
            archive_entry_set_symlink(entry, item.target.c_str());
        } else if (item.type == ArchiveEntry::Hardlink) {
            archive_entry_set_hardlink(entry, item.target.c_str());
        }
        archive_entry_set_size(entry, static_cast<la_int64_t>(item.bytes.size()));
        archive_write_header(a, entry);
        archive_write_data(a, item.bytes.data(), item.bytes.size());
        archive_entry_free(entry);
    }
    archive_write_free(a);  // closes it: the end of the archive is written
    return out;
}

TestSite::TestSite(int port) : server_(std::make_unique<httplib::Server>()) {
    // Workers that stall must not starve the rest of the site.
    server_->new_task_queue = [] { return new httplib::ThreadPool(96); };
    server_->Get(kParsePath, [this](const httplib::Request& req, httplib::Response& res) { ServeParse(req, res); });
    server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        auto answer =
            std::make_shared<Answer>(Answer{.bytes = "<html><body>404 Not Found</body></html>", .status = 404});
        const std::string path = req.path;
        bool counted = false;  // toward the ranges under way at once
        {
            std::lock_guard lock(mutex_);
            ranges_[path].push_back(req.get_header_value("Range"));
            ifRanges_[path].push_back(req.get_header_value("If-Range"));
            agents_[path] = req.get_header_value("User-Agent");
            if (auto found = scripts_.find(path); found != scripts_.end()) {
                Script& script = found->second;
                *answer = script.answers[std::min(script.served++, script.answers.size() - 1)];
            }
            if (const auto& rates = answer->ratesByArrival; !rates.empty()) {
                answer->bytesPerSecond = rates[(ranges_[path].size() - 1) % rates.size()];
            }
            if (!answer->offsetBytes.empty() && !req.ranges.empty() && req.ranges.front().first > 0) {
                answer->bytes = answer->offsetBytes;
            }
            if ((answer->status == 200 || answer->status == 206) && req.has_header("Range")) {
                int active = ActiveRangesLocked(path);
                if (answer->maxConnections > 0 && active >= static_cast<int>(answer->maxConnections)) {
                    *answer =
                        answer->beyondPage.empty()
                            ? Answer{.status = 503}
                            : Answer{.bytes = answer->beyondPage, .contentType = "text/html", .ignoreRange = true};
                } else {
                    active_[path].insert(req.remote_port);
                    peak_[path] = std::max(peak_[path], active + 1);
                    counted = true;
                }
            }
        }
        Serve(req, res, answer, [this, path, counted, peer = req.remote_port](bool) {
            std::lock_guard lock(mutex_);
            if (auto& active = active_[path]; counted && active.contains(peer)) {
                active.erase(active.find(peer));
            }
        });
    });
    int listening = -1;
    server_->set_socket_options([&listening](int socket) {
        int on = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        listening = socket;
    });
    port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1") : server_->bind_to_port("127.0.0.1", port) ? port : 0;
    if (port_ <= 0) {
        throw std::runtime_error("test site: cannot listen on 127.0.0.1");
    }
    // The library's backlog of 5 drops the connections of a burst (many tasks of many connections)
    // while a slow build's accepting thread lags: they time out at the client as if the site were down.
    listen(listening, 1024);
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

void TestSite::ServeParse(const httplib::Request& req, httplib::Response& res) {
    // The link travels unescaped, so '+' must not be taken for a blank: read the raw target.
    std::string link;
    auto at = req.target.find("link=");
    if (at != std::string::npos && at + 6 <= req.target.size()) {
        Base64Decode(req.target.substr(at + 6), link);
    }
    std::unique_lock lock(mutex_);
    parseLinks_.push_back(link);
    stallReleased_.wait_for(lock, std::chrono::minutes(1), [this] { return !parseHeld_ || stallsReleased_; });
    auto reply = parseReplies_.find(link);
    if (reply == parseReplies_.end()) {
        res.set_content(" ", "text/html");
        return;
    }
    const std::size_t served = parseServed_[link]++;
    res.set_content(reply->second[std::min(served, reply->second.size() - 1)], "text/html");
}

void TestSite::Serve(const httplib::Request& req, httplib::Response& res, std::shared_ptr<Answer> answer,
                     std::function<void(bool)> ended) {
    // Clearing the parsed ranges makes the library answer with the whole content.
    auto& ranges = const_cast<httplib::Request&>(req).ranges;
    for (const auto& [name, value] : answer->headers) {
        res.set_header(name, value);
    }
    if (answer->status != 200 && answer->status != 206) {
        ranges.clear();
        res.status = answer->status;
        if (!answer->bytes.empty()) {
            res.set_content(answer->bytes, "text/html");
        }
        return;
    }
    if (!answer->etag.empty()) {
        res.set_header("ETag", answer->etag);
        if (req.has_header("If-Range") && req.get_header_value("If-Range") != answer->etag) {
            ranges.clear();
        }
    }
    if (answer->earlyBy > 0 && !ranges.empty() && ranges.front().first > 0) {
        ranges.front().first -= std::min<ssize_t>(ranges.front().first, static_cast<ssize_t>(answer->earlyBy));
    }
    if (answer->ignoreRange || answer->status == 206) {
        ranges.clear();
        res.status = answer->status;
    }
    auto sent = std::make_shared<size_t>(0);
    auto provide = [this, answer, sent, path = req.path](size_t offset, size_t length, httplib::DataSink& sink) {
        // A slow file sends a fortieth of a second's worth at a time: a client that has gone is seen soon.
        const size_t rate = answer->bytesPerSecond, chunk = rate > 0 ? std::max<size_t>(rate / 40, 1) : 65536;
        const auto pause = std::chrono::milliseconds(rate > 0 ? (1000 * chunk + rate / 2) / rate : 0);
        const size_t room = answer->cutAfter > *sent ? answer->cutAfter - *sent : 0;
        const size_t n = std::min({length, room, chunk});
        if (n == 0 || (answer->bytesPerSecond > 0 && WaitForRelease(pause))) {
            if (n == 0 && answer->stall) {
                WaitForRelease(answer->stallFor);
            }
            return false;  // ends the connection mid-body
        }
        *sent += n;
        {
            std::lock_guard lock(mutex_);
            sent_[path] += n;
        }
        if (answer->virtualSize == 0) {
            return sink.write(answer->bytes.data() + offset, n);
        }
        std::string block(n, '\0');  // a fast slow file's fortieth of a second can be large
        for (size_t i = 0; i < n; ++i) {
            block[i] = VirtualByte(offset + i);
        }
        return sink.write(block.data(), n);
    };
    const size_t size = answer->virtualSize > 0 ? answer->virtualSize : answer->bytes.size();
    if (!answer->chunked) {
        res.set_content_provider(size, answer->contentType.c_str(), provide, ended);
        return;
    }
    res.set_chunked_content_provider(
        answer->contentType.c_str(),
        [provide, size](size_t offset, httplib::DataSink& sink) {
            if (offset >= size) {
                sink.done();
                return true;
            }
            return provide(offset, size - offset, sink);
        },
        ended);
}

bool TestSite::WaitForRelease(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return stallReleased_.wait_for(lock, limit, [this] { return stallsReleased_; });
}

void TestSite::AddScriptedFile(const std::string& path, std::vector<Answer> answers) {
    std::lock_guard lock(mutex_);
    scripts_[path] = {std::move(answers)};
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
    parseReplies_[pageLink] = {std::move(rawBody)};
    parseServed_.erase(pageLink);
}

void TestSite::AddParseReply(const std::string& pageLink, const std::string& realLink, const std::string& name) {
    std::lock_guard lock(mutex_);
    parseReplies_[pageLink].push_back("x" + Base64Encode(realLink + "|||" + name));
}

void TestSite::HoldParseReplies() {
    std::lock_guard lock(mutex_);
    parseHeld_ = true;
}

int TestSite::RequestCount(const std::string& path) const {
    return static_cast<int>(RangeHeaders(path).size());
}

std::vector<std::string> TestSite::RangeHeaders(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = ranges_.find(path);
    return found == ranges_.end() ? std::vector<std::string>{} : found->second;
}

std::vector<std::string> TestSite::IfRangeHeaders(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = ifRanges_.find(path);
    return found == ifRanges_.end() ? std::vector<std::string>{} : found->second;
}

std::vector<std::string> TestSite::ParseRequestLinks() const {
    std::lock_guard lock(mutex_);
    return parseLinks_;
}

int TestSite::ActiveRangesLocked(const std::string& path) {
    std::multiset<int>& active = active_[path];
    std::set<int> open = PeersOf(port_);
    std::erase_if(active, [&](int peer) { return !open.contains(peer); });
    return static_cast<int>(active.size());
}

int TestSite::PeakConnections(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = peak_.find(path);
    return found == peak_.end() ? 0 : found->second;
}

uint64_t TestSite::BytesSent(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = sent_.find(path);
    return found == sent_.end() ? 0 : found->second;
}

std::string TestSite::LastUserAgent(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = agents_.find(path);
    return found == agents_.end() ? "" : found->second;
}

}  // namespace tarvane::test
