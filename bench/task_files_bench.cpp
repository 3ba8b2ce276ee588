// What keeping the task list costs while downloads run, measured on the real tarvane program
// (offscreen) from the outside: with 0, 1,000 and 10,000 paused tasks stored in download.xml and 20
// links handed over the way a browser hands them, each served by a local site at a fixed speed, it
// counts how often download.xml is replaced and how many bytes the task files and every other small
// file written there take per second (inotify on the program directory and the download folder),
// tarvane's CPU seconds per second (/proc/PID/stat) and, for comparison, the bytes downloaded.
//   task_files_bench [--tarvane PATH] [seconds] [KiB/s per download] [stored counts, e.g. 0,1000,10000]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kRunning = 20;
// Under the size from which a task opens more connections: each download is one connection, and
// at the default speed none finishes within a run.
constexpr uint64_t kDefaultFileBytes = 15u << 20;
// A file closed after writing that is this big is a data file, not a record of the task.
constexpr uint64_t kDataFileBytes = 1u << 20;
constexpr const char* kDownloadFile = "download.xml";
constexpr const char* kCompletedFile = "completed.xml";

// Ctrl-C ends the run early, but through the same clean-up as its end.
std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
    interrupted = true;
}

// A byte position from a request; nothing when it is not a plain number.
std::optional<uint64_t> Number(const std::string& text) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(text);
}

double Seconds(SteadyClock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::optional<uint64_t> FileSize(const fs::path& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size);
}

// A local file site: any /files/NAME is a file of `fileBytes`, served with ranges; all connections to
// one file share its speed, so a download runs at that speed however many connections it opens.
class ThrottledSite {
public:
    ThrottledSite(uint64_t fileBytes, double bytesPerSecond) : fileBytes_(fileBytes), rate_(bytesPerSecond) {
        std::mt19937 random(25);
        pattern_.resize(1 << 20);
        for (char& byte : pattern_) {
            byte = static_cast<char>(random());
        }
    }
    ~ThrottledSite() { Stop(); }

    bool Start() {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listen_, 64) != 0 || getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
        return true;
    }

    void Stop() {
        if (stopping_.exchange(true)) {
            return;
        }
        if (acceptor_.joinable()) {
            acceptor_.join();
        }
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            for (int fd : open_) {
                shutdown(fd, SHUT_RDWR);
            }
            threads.swap(threads_);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        if (listen_ >= 0) {
            close(listen_);
        }
    }

    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/files/" + name;
    }
    uint64_t BytesSent() const { return sent_; }
    uint64_t fileBytes() const { return fileBytes_; }
    // How many of the files whose names start with `prefix` were sent within the last `span`.
    int FilesSentWithin(const std::string& prefix, SteadyClock::duration span) {
        auto since = (SteadyClock::now() - span).time_since_epoch().count();
        std::lock_guard lock(mutex_);
        int count = 0;
        for (auto& [name, file] : files_) {
            count += name.starts_with(prefix) && file.lastSent >= since ? 1 : 0;
        }
        return count;
    }
    // How many of the files whose names start with `prefix` have been sent whole.
    int FilesSentWhole(const std::string& prefix) {
        std::lock_guard lock(mutex_);
        int count = 0;
        for (auto& [name, file] : files_) {
            count += name.starts_with(prefix) && file.sent >= fileBytes_ ? 1 : 0;
        }
        return count;
    }

private:
    struct File {
        SteadyClock::time_point next{};
        SteadyClock::rep lastSent = 0;
        uint64_t sent = 0;
    };

    void AcceptLoop() {
        while (!stopping_) {
            pollfd wait{listen_, POLLIN, 0};
            if (poll(&wait, 1, 100) <= 0) {
                continue;
            }
            int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::lock_guard lock(mutex_);
            open_.insert(fd);
            threads_.emplace_back([this, fd] {
                Serve(fd);
                std::lock_guard inner(mutex_);
                open_.erase(fd);
                close(fd);
            });
        }
    }

    // Waits up to `ms` for the socket; false once the site stops or the wait runs out.
    bool Ready(int fd, short events, int ms) {
        for (int waited = 0; waited < ms && !stopping_; waited += 100) {
            pollfd wait{fd, events, 0};
            int ready = poll(&wait, 1, 100);
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
        return false;
    }

    bool SendAll(int fd, const char* data, size_t size) {
        while (size > 0) {
            if (!Ready(fd, POLLOUT, 60000)) {
                return false;
            }
            ssize_t sent = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            if (sent <= 0) {
                return false;
            }
            data += sent;
            size -= static_cast<size_t>(sent);
        }
        return true;
    }

    // Requests on one connection, one after another (keep-alive), until it closes or the site stops.
    void Serve(int fd) {
        std::string buffer;
        while (!stopping_) {
            size_t end;
            while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
                char block[4096];
                if (buffer.size() > 65536 || !Ready(fd, POLLIN, 30000)) {
                    return;
                }
                ssize_t got = recv(fd, block, sizeof block, 0);
                if (got <= 0) {
                    return;
                }
                buffer.append(block, static_cast<size_t>(got));
            }
            std::string head = buffer.substr(0, end);
            buffer.erase(0, end + 4);
            if (!Answer(fd, head)) {
                return;
            }
        }
    }

    bool Answer(int fd, const std::string& head) {
        std::istringstream lines(head);
        std::string method, target, line;
        lines >> method >> target;
        std::getline(lines, line);
        std::optional<std::string> range;
        bool closeAfter = false;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            std::string lower = line;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            if (lower.starts_with("range:")) {
                range = lower.substr(6);
            } else if (lower.starts_with("connection:") && lower.find("close") != std::string::npos) {
                closeAfter = true;
            }
        }
        constexpr std::string_view kFiles = "/files/";
        std::string name = target.starts_with(kFiles) ? target.substr(kFiles.size()) : "";
        if (name.empty() || (method != "GET" && method != "HEAD")) {
            std::string reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
            return SendAll(fd, reply.data(), reply.size()) && !closeAfter;
        }
        uint64_t first = 0, last = fileBytes_ - 1;
        bool partial = false;
        if (range) {
            std::string spec = *range;
            spec.erase(std::remove(spec.begin(), spec.end(), ' '), spec.end());
            size_t dash = spec.find('-');
            bool valid = spec.starts_with("bytes=") && dash != std::string::npos && spec.find(',') == std::string::npos;
            if (valid) {
                std::string from = spec.substr(6, dash - 6), to = spec.substr(dash + 1);
                auto begin = Number(from), finish = Number(to);
                if (from.empty() && finish) {
                    first = fileBytes_ - std::min<uint64_t>(*finish, fileBytes_);
                } else if (begin && (to.empty() || finish)) {
                    first = *begin;
                    last = to.empty() ? fileBytes_ - 1 : std::min<uint64_t>(*finish, fileBytes_ - 1);
                } else {
                    valid = false;
                }
            }
            if (!valid || first >= fileBytes_ || first > last) {
                std::string reply = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                    std::to_string(fileBytes_) + "\r\nContent-Length: 0\r\n\r\n";
                return SendAll(fd, reply.data(), reply.size()) && !closeAfter;
            }
            partial = true;
        }
        uint64_t length = last - first + 1;
        std::string reply = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        reply += "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\nETag: \"task-files-bench\"\r\n";
        reply += "Last-Modified: Mon, 07 Dec 2026 00:00:00 GMT\r\n";
        if (partial) {
            reply += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                     std::to_string(fileBytes_) + "\r\n";
        }
        reply += "Content-Length: " + std::to_string(length) + "\r\n\r\n";
        if (!SendAll(fd, reply.data(), reply.size())) {
            return false;
        }
        if (method == "HEAD") {
            return !closeAfter;
        }
        // Small pieces, each given its moment in the file's shared schedule.
        constexpr uint64_t kPiece = 8192;
        auto pieceTime = std::chrono::duration_cast<SteadyClock::duration>(
            std::chrono::duration<double>(static_cast<double>(kPiece) / rate_));
        for (uint64_t at = first; at <= last && !stopping_;) {
            uint64_t size = std::min(kPiece, last - at + 1);
            SteadyClock::time_point when;
            {
                std::lock_guard lock(mutex_);
                File& file = files_[name];
                when = std::max(SteadyClock::now(), file.next);
                file.next = when + pieceTime;
            }
            std::this_thread::sleep_until(when);
            size_t offset = at % pattern_.size();
            size_t run = std::min<size_t>(size, pattern_.size() - offset);
            if (!SendAll(fd, pattern_.data() + offset, run)) {
                return false;
            }
            sent_ += run;
            {
                std::lock_guard lock(mutex_);
                File& file = files_[name];
                file.sent += run;
                file.lastSent = SteadyClock::now().time_since_epoch().count();
            }
            at += run;
        }
        return !closeAfter && !stopping_;
    }

    uint64_t fileBytes_;
    double rate_;
    std::string pattern_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> sent_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::set<int> open_;
    std::vector<std::thread> threads_;
    std::map<std::string, File> files_;
};

struct WriteCounts {
    uint64_t downloadReplaces = 0, downloadBytes = 0;
    uint64_t completedReplaces = 0, completedBytes = 0;
    uint64_t programCloses = 0, programBytes = 0;  // every file closed after writing in the program directory
    uint64_t folderCloses = 0, folderBytes = 0;    // the same in the download folder, data files aside
    uint64_t dataCloses = 0;
    uint64_t unsized = 0;    // closed, then gone before its size could be read
    uint64_t overflows = 0;  // the kernel's event queue ran over: counts are low
};

// Watches the program directory and the download folder, and the folders made in them. A replace
// of a task file is a rename onto its name or a close after writing it in place; its bytes are its
// size right after. A file closed after writing counts its size then; a temporary renamed before its
// size was read counts the size of the name it was renamed to.
class WriteWatch {
public:
    WriteWatch(const fs::path& program, const fs::path& folder) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ok_ = fd_ >= 0 && Watch(program, true) && Watch(folder, false);
        thread_ = std::thread([this] { Loop(); });
    }
    ~WriteWatch() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    bool ok() const { return ok_; }
    WriteCounts Counts() {
        std::lock_guard lock(mutex_);
        return counts_;
    }

private:
    struct Folder {
        fs::path path;
        bool program = false;  // in the program directory, else in the download folder
        bool top = false;
    };

    bool Watch(const fs::path& path, bool program, bool top = true) {
        constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_ONLYDIR;
        int wd = inotify_add_watch(fd_, path.c_str(), kEvents);
        if (wd < 0) {
            return false;
        }
        folders_[wd] = {path, program, top};
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(path, error)) {
            if (entry.is_directory(error)) {
                Watch(entry.path(), program, false);
            }
        }
        return true;
    }

    void Loop() {
        alignas(inotify_event) char buffer[64 * 1024];
        while (!stop_) {
            pollfd wait{fd_, POLLIN, 0};
            if (poll(&wait, 1, 100) <= 0) {
                continue;
            }
            ssize_t got = read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < got;) {
                auto* event = reinterpret_cast<inotify_event*>(buffer + at);
                Handle(*event, event->len > 0 ? std::string(event->name) : std::string());
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    void Handle(const inotify_event& event, const std::string& name) {
        std::lock_guard lock(mutex_);
        if (event.mask & IN_Q_OVERFLOW) {
            ++counts_.overflows;
            return;
        }
        auto found = folders_.find(event.wd);
        if (found == folders_.end() || name.empty()) {
            return;
        }
        const Folder folder = found->second;
        fs::path path = folder.path / name;
        if ((event.mask & IN_CREATE) && (event.mask & IN_ISDIR)) {
            Watch(path, folder.program, false);
            return;
        }
        if (folder.program && folder.top && (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) &&
            (name == kDownloadFile || name == kCompletedFile)) {
            uint64_t size = FileSize(path).value_or(0);
            if (name == kDownloadFile) {
                ++counts_.downloadReplaces;
                counts_.downloadBytes += size;
            } else {
                ++counts_.completedReplaces;
                counts_.completedBytes += size;
            }
        }
        if (event.mask & IN_CLOSE_WRITE) {
            if (auto size = FileSize(path)) {
                Closed(folder.program, *size);
            } else {
                unsized_.insert({event.wd, name});
            }
        } else if (event.mask & IN_MOVED_FROM) {
            if (unsized_.erase({event.wd, name}) > 0) {
                renamed_.insert(event.cookie);
            }
        } else if ((event.mask & IN_MOVED_TO) && renamed_.erase(event.cookie) > 0) {
            if (auto size = FileSize(path)) {
                Closed(folder.program, *size);
            } else {
                ++counts_.unsized;
            }
        }
    }

    void Closed(bool inProgram, uint64_t size) {
        if (inProgram) {
            ++counts_.programCloses;
            counts_.programBytes += size;
        } else if (size >= kDataFileBytes) {
            ++counts_.dataCloses;
        } else {
            ++counts_.folderCloses;
            counts_.folderBytes += size;
        }
    }

    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::map<int, Folder> folders_;
    WriteCounts counts_;
    std::set<std::pair<int, std::string>> unsized_;
    std::set<uint32_t> renamed_;
    std::thread thread_;
};

struct ProcessFigures {
    double cpu = 0;  // user + system seconds, every thread
    uint64_t wchar = 0, writeBytes = 0;
};

std::optional<ProcessFigures> ReadProcess(pid_t pid) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) {
        values.push_back(value);
    }
    if (values.size() < 13) {
        return std::nullopt;
    }
    ProcessFigures figures;
    // Fields 14 and 15 of the line: utime, stime; the list here starts at field 3.
    figures.cpu = static_cast<double>(std::stoull(values[11]) + std::stoull(values[12])) /
                  static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    for (std::string key; io >> key;) {
        uint64_t value = 0;
        io >> value;
        if (key == "wchar:") {
            figures.wchar = value;
        } else if (key == "write_bytes:") {
            figures.writeBytes = value;
        }
    }
    return figures;
}

pid_t Spawn(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // The program starts with the signals as a desktop gives them, not as this benchmark set them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int number : {SIGPIPE, SIGINT, SIGTERM}) {
        sigaddset(&defaults, number);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int started = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

// Waits up to `limit` for the process to end; its exit status, or nothing when it still runs.
std::optional<int> WaitEnd(pid_t pid, SteadyClock::duration limit) {
    auto end = SteadyClock::now() + limit;
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (SteadyClock::now() < end);
    return std::nullopt;
}

// Ends a process the way the session does (SIGTERM), and by force if it keeps running.
void Stop(pid_t pid) {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    if (!WaitEnd(pid, std::chrono::seconds(30))) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

template <typename F>
bool WaitFor(F done, SteadyClock::duration limit) {
    auto end = SteadyClock::now() + limit;
    while (!done()) {
        if (SteadyClock::now() >= end || interrupted) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// download.xml with `count` paused tasks, each begun and paused, in the stored form (about 430
// bytes a task).
void WriteStoredTasks(const fs::path& file, int count, const ThrottledSite& site, const fs::path& folder) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "<download>\n";
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "stored-%05d.bin", i);
        std::string link = site.Url(std::string("stored/") + name);
        out << "<item name=\"" << name << "\" frmPge=\"" << link << "\" fileLink=\"" << link << "\" path=\""
            << (folder / name).string() << "\" size=\"" << site.fileBytes() << "\" downloadedSize=\"" << (1 << 20)
            << "\" type=\"bin\" prxIP=\"\" prxPort=\"0\" prxName=\"\" prxPwd=\"\" flag=\"2\""
            << " agent=\"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)\""
            << " etag=\"&quot;task-files-bench&quot;\" lastModified=\"Mon, 07 Dec 2026 00:00:00 GMT\"/>\n";
    }
    out << "</download>";
}

struct RunResult {
    int stored = 0;
    uint64_t storedBytes = 0;  // download.xml as the run began
    double seconds = 0;
    WriteCounts writes;
    double cpu = 0;
    uint64_t wchar = 0, writeBytes = 0;
    uint64_t downloaded = 0;
    int runningAtEnd = 0;
    int finished = 0;
    std::string note;
};

std::string Tail(const fs::path& log, size_t lines) {
    std::ifstream in(log);
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) {
        all.push_back(line);
    }
    std::string text;
    for (size_t i = all.size() > lines ? all.size() - lines : 0; i < all.size(); ++i) {
        text += "    | " + all[i] + "\n";
    }
    return text;
}

RunResult Run(const fs::path& tarvane, const fs::path& root, ThrottledSite& site, int stored, std::chrono::seconds span,
              int number) {
    RunResult result;
    result.stored = stored;
    fs::path home = root / ("run" + std::to_string(number));
    fs::path program = home / "program", folder = home / "saved", runtime = home / "runtime";
    for (const fs::path& dir : {program, folder, runtime, home / "data", home / "config", home / "cache"}) {
        fs::create_directories(dir);
    }
    fs::permissions(runtime, fs::perms::owner_all);
    // The program directory is the folder of the resolved executable: a hard link, else a copy.
    std::error_code linkError;
    fs::create_hard_link(tarvane, program / "tarvane", linkError);
    if (linkError) {
        fs::copy_file(tarvane, program / "tarvane");
    }
    // Started at every start; a missing one would stop the start with a message box.
    std::ofstream(program / "updater") << "#!/bin/sh\nexit 0\n";
    fs::permissions(program / "updater", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    std::ofstream(program / "config.ini") << "[options]\nmaxTaskNum=" << kRunning << "\ndefaultPath=" << folder.string()
                                          << "\nplayAudioCmp=0\ncloseToStay=0\n";
    WriteStoredTasks(program / kDownloadFile, stored, site, folder);
    result.storedBytes = FileSize(program / kDownloadFile).value_or(0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);

    std::string prefix = "run" + std::to_string(number) + "-";
    auto link = [&](int i) { return ">" + site.Url(prefix + std::to_string(i) + ".bin") + "<"; };
    fs::path log = home / "tarvane.log";
    std::string executable = (program / "tarvane").string();
    WriteWatch watch(program, folder);
    pid_t pid = Spawn({executable, link(0)}, log);
    auto fail = [&](const std::string& why) {
        result.note = interrupted ? "interrupted" : why;
        result.seconds = 0;
        std::cerr << "  " << why << "\n" << Tail(log, 20);
        return result;
    };
    if (pid < 0) {
        return fail("tarvane did not start");
    }
    struct Ender {
        pid_t pid;
        ~Ender() { Stop(pid); }
    } ender{pid};
    if (!watch.ok()) {
        return fail("inotify could not watch the folders");
    }
    if (!WaitFor([&] { return site.FilesSentWithin(prefix, std::chrono::seconds(5)) >= 1; },
                 std::chrono::seconds(60))) {
        return fail("the first link was not downloading within 60 s");
    }
    // The other 19 as a browser hands them over: a second instance each, which passes its link on.
    for (int i = 1; i < kRunning && !interrupted; ++i) {
        pid_t sender = Spawn({executable, link(i)}, log);
        if (sender < 0) {
            return fail("a second instance did not start");
        }
        if (!WaitEnd(sender, std::chrono::seconds(30))) {
            kill(sender, SIGKILL);
            waitpid(sender, nullptr, 0);
            return fail("a second instance did not hand its link over within 30 s");
        }
    }
    if (!WaitFor([&] { return site.FilesSentWithin(prefix, std::chrono::seconds(2)) == kRunning; },
                 std::chrono::seconds(60))) {
        return fail("the 20 downloads were not all running within 60 s");
    }
    // The starts settle first: only the steady state is measured.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    if (interrupted) {
        return fail("interrupted");
    }

    auto before = ReadProcess(pid);
    WriteCounts writesBefore = watch.Counts();
    uint64_t sentBefore = site.BytesSent();
    auto start = SteadyClock::now();
    auto end = start + span;
    bool ended = false;
    while (SteadyClock::now() < end && !ended && !interrupted) {
        ended = WaitEnd(pid, std::chrono::milliseconds(200)).has_value();
    }
    auto after = ended ? std::nullopt : ReadProcess(pid);
    result.seconds = Seconds(SteadyClock::now() - start);
    result.downloaded = site.BytesSent() - sentBefore;
    WriteCounts writesAfter = watch.Counts();
    if (ended) {
        ender.pid = -1;  // reaped already
        return fail("tarvane ended during the run");
    }
    if (interrupted) {
        return fail("interrupted");
    }
    if (!before || !after) {
        return fail("tarvane's /proc figures could not be read");
    }
    result.writes = writesAfter;
    auto subtract = [](uint64_t& a, uint64_t b) { a -= b; };
    subtract(result.writes.downloadReplaces, writesBefore.downloadReplaces);
    subtract(result.writes.downloadBytes, writesBefore.downloadBytes);
    subtract(result.writes.completedReplaces, writesBefore.completedReplaces);
    subtract(result.writes.completedBytes, writesBefore.completedBytes);
    subtract(result.writes.programCloses, writesBefore.programCloses);
    subtract(result.writes.programBytes, writesBefore.programBytes);
    subtract(result.writes.folderCloses, writesBefore.folderCloses);
    subtract(result.writes.folderBytes, writesBefore.folderBytes);
    subtract(result.writes.dataCloses, writesBefore.dataCloses);
    subtract(result.writes.unsized, writesBefore.unsized);
    subtract(result.writes.overflows, writesBefore.overflows);
    result.cpu = after->cpu - before->cpu;
    result.wchar = after->wchar - before->wchar;
    result.writeBytes = after->writeBytes - before->writeBytes;
    result.runningAtEnd = site.FilesSentWithin(prefix, std::chrono::seconds(2));
    result.finished = site.FilesSentWhole(prefix);
    if (result.runningAtEnd != kRunning) {
        result.note = std::to_string(result.runningAtEnd) + " of 20 downloading at the end";
    }
    if (result.finished > 0) {
        result.note += (result.note.empty() ? "" : "; ") + std::to_string(result.finished) +
                       " finished in the run (completed.xml writes counted)";
    }
    if (result.writes.overflows > 0) {
        result.note += (result.note.empty() ? "" : "; ") + std::string("inotify overflowed: counts are low");
    }
    return result;
}

double PerSecond(uint64_t value, double seconds) {
    return seconds > 0 ? static_cast<double>(value) / seconds : 0;
}

double MBPerSecond(uint64_t bytes, double seconds) {
    return PerSecond(bytes, seconds) / 1e6;
}

void PrintRun(const RunResult& run) {
    double s = run.seconds;
    const WriteCounts& w = run.writes;
    std::printf("\n%d tasks stored (download.xml %.2f MB at the start), 20 downloads running, %.1f s measured\n",
                run.stored, static_cast<double>(run.storedBytes) / 1e6, s);
    if (s <= 0) {
        std::printf("  not measured: %s\n", run.note.c_str());
        return;
    }
    std::printf("  %-40s %10.2f /s\n", "download.xml replaced", PerSecond(w.downloadReplaces, s));
    std::printf("  %-40s %10.2f /s\n", "completed.xml replaced", PerSecond(w.completedReplaces, s));
    std::printf("  %-40s %10.3f MB/s   (their sizes at each replace, summed)\n", "task files written",
                MBPerSecond(w.downloadBytes + w.completedBytes, s));
    std::printf("  %-40s %10.3f MB/s   (%.1f files closed after writing /s)\n", "every write, program directory",
                MBPerSecond(w.programBytes, s), PerSecond(w.programCloses, s));
    std::printf("  %-40s %10.3f MB/s   (%.1f files /s; data files aside)\n", "every write, download folder",
                MBPerSecond(w.folderBytes, s), PerSecond(w.folderCloses, s));
    std::printf("  %-40s %10.3f s/s\n", "tarvane CPU (user + system)", run.cpu / s);
    std::printf("  %-40s %10.3f MB/s\n", "downloaded (sent by the local site)", MBPerSecond(run.downloaded, s));
    std::printf("  %-40s %10.3f MB/s   (downloads included)\n", "process write_bytes (/proc io)",
                MBPerSecond(run.writeBytes, s));
    std::printf("  %-40s %10.3f MB/s   (/proc io wchar less the bytes downloaded; rough)\n",
                "process write() beyond the downloads",
                (static_cast<double>(run.wchar) - static_cast<double>(run.downloaded)) / s / 1e6);
    if (w.unsized > 0 || w.dataCloses > 0) {
        std::printf("  (%ju files gone before their size was read, %ju data files closed)\n",
                    static_cast<uintmax_t>(w.unsized), static_cast<uintmax_t>(w.dataCloses));
    }
    if (!run.note.empty()) {
        std::printf("  ! %s\n", run.note.c_str());
    }
}

void PrintSummary(const std::vector<RunResult>& runs) {
    std::printf("\n%8s %12s %14s %14s %14s %10s %14s %14s\n", "stored", "replaces/s", "task files", "program dir",
                "dl folder", "CPU s/s", "downloaded", "write_bytes");
    std::printf("%8s %12s %14s %14s %14s %10s %14s %14s\n", "", "download.xml", "MB/s", "MB/s", "MB/s", "", "MB/s",
                "MB/s");
    for (const RunResult& run : runs) {
        double s = run.seconds;
        if (s <= 0) {
            std::printf("%8d  not measured: %s\n", run.stored, run.note.c_str());
            continue;
        }
        const WriteCounts& w = run.writes;
        std::printf("%8d %12.2f %14.3f %14.3f %14.3f %10.3f %14.3f %14.3f%s\n", run.stored,
                    PerSecond(w.downloadReplaces, s), MBPerSecond(w.downloadBytes + w.completedBytes, s),
                    MBPerSecond(w.programBytes, s), MBPerSecond(w.folderBytes, s), run.cpu / s,
                    MBPerSecond(run.downloaded, s), MBPerSecond(run.writeBytes, s), run.note.empty() ? "" : "  !");
    }
    std::printf(
        "MB = 10^6 bytes. task files: download.xml and completed.xml, their size at each replace. program dir / dl "
        "folder: every file closed after writing there (temporaries included; in the download folder files under 1 "
        "MiB only, the data files aside).\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    fs::path tarvane = fs::canonical("/proc/self/exe").parent_path() / "tarvane";
    if (args.size() >= 2 && args[0] == "--tarvane") {
        tarvane = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    int seconds = args.size() > 0 ? std::stoi(args[0]) : 30;
    double kibPerSecond = args.size() > 1 ? std::stod(args[1]) : 250;
    std::vector<int> counts;
    std::stringstream list(args.size() > 2 ? args[2] : "0,1000,10000");
    for (std::string count; std::getline(list, count, ',');) {
        counts.push_back(std::stoi(count));
    }
    if (!fs::exists(tarvane)) {
        std::cerr << "no tarvane program at " << tarvane << " (--tarvane PATH)\n";
        return 1;
    }
    seconds = std::clamp(seconds, 5, 300);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGINT, OnInterrupt);
    signal(SIGTERM, OnInterrupt);
    // Offscreen, nothing beyond this machine: the site's hosts point at a closed port.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TARVANE_WEB_PANE", "0", 1);
    setenv("TARVANE_OFFICIAL_HOST", "127.0.0.1:1", 1);
    setenv("TARVANE_PORTAL_HOST", "127.0.0.1:1", 1);
    setenv("TARVANE_MINIGAME_HOST", "127.0.0.1:1", 1);
    setenv("TARVANE_SITE_DOMAIN", "quellora.localhost", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");

    // On the disk, as a user's program directory and download folder are.
    std::string pattern = (fs::temp_directory_path() / "tarvane-taskfiles-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "cannot make a folder in " << fs::temp_directory_path() << "\n";
        return 1;
    }
    fs::path root = pattern;
    ThrottledSite site(kDefaultFileBytes, kibPerSecond * 1024);
    if (!site.Start()) {
        std::cerr << "the local site did not start\n";
        fs::remove_all(root);
        return 1;
    }
    std::printf("tarvane: %s\n20 downloads of %.1f MiB at %.0f KiB/s each from 127.0.0.1; %d s measured per run\n",
                tarvane.c_str(), static_cast<double>(kDefaultFileBytes) / (1 << 20), kibPerSecond, seconds);
    std::fflush(stdout);
    std::vector<RunResult> runs;
    for (size_t i = 0; i < counts.size() && !interrupted; ++i) {
        std::cerr << counts[i] << " tasks stored, 20 links handed over...\n";
        runs.push_back(Run(tarvane, root, site, counts[i], std::chrono::seconds(seconds), static_cast<int>(i)));
        PrintRun(runs.back());
        std::fflush(stdout);
        // Each run's files go at once: the disk holds one run's downloads at a time.
        std::error_code ignored;
        fs::remove_all(root / ("run" + std::to_string(i)), ignored);
    }
    site.Stop();
    fs::remove_all(root);
    PrintSummary(runs);
    return 0;
}
