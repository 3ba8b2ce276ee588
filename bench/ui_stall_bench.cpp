// The interface thread's longest stall in the real main window, offscreen: a 5 ms timer on that
// thread records how late each tick comes while the window takes a link whose page the parse
// service answers only after 20 s, while 20 tasks download at full speed from a local nginx, and
// while 10,000 tasks are listed with 20 of them running. Also how long a hand-off waits for its
// answer on the real hand-off socket.
//   ui_stall_bench [MiB per file] [seconds of the parse reply] [tasks listed]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include <curl/curl.h>

#include "bench/random_file.h"
#include "bench/silent_ports.h"
#include "platform/codepage.h"
#include "platform/link_handoff.h"
#include "platform/process_start.h"
#include "tarvane/shell/handoff_server.h"
#include "tarvane/shell/main_dialog.h"
#include "tarvane/shell/resources/artwork.h"
#include "tarvane/store/task_files.h"
#include "tests/support/test_site.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace tarvane;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr auto kTick = std::chrono::milliseconds(5);
constexpr double kStallGoalMs = 50;
constexpr double kHandoffGoalMs = 100;
constexpr int kRunning = 20;

double Ms(SteadyClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU seconds of this process, every thread.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Silent desktop that still says on stderr what the window would have shown.
struct BenchShell : bench::SilentPorts, platform::ProcessStarter {
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons) override {
        std::cerr << "  message: " << platform::Utf8FromAnsi(caption) << ": " << platform::Utf8FromAnsi(text) << "\n";
        return MessageAnswer::Ok;
    }
    bool Start(const std::string&, const std::vector<std::string>&) override { return true; }
    ShellPorts Ports() { return ShellPorts{*this, *this, *this, *this, *this}; }
};

// A 5 ms timer on the interface thread; each tick's lateness is its interval minus 5 ms.
class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kTick);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto now = SteadyClock::now();
            Record(now);
        });
    }
    void Start() {
        lateness_.clear();
        last_ = start_ = SteadyClock::now();
        cpu_ = CpuSeconds();
        timer_.start();
    }
    void Stop() {
        // A stall still under way when the run ends counts too.
        Record(SteadyClock::now());
        timer_.stop();
        cpu_ = CpuSeconds() - cpu_;
    }
    double Longest() const { return lateness_.empty() ? 0 : *std::max_element(lateness_.begin(), lateness_.end()); }
    double Percentile(double p) const {
        if (lateness_.empty()) {
            return 0;
        }
        std::vector<double> sorted = lateness_;
        std::sort(sorted.begin(), sorted.end());
        size_t at = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size()))) - 1;
        return sorted[std::min(at, sorted.size() - 1)];
    }
    size_t Ticks() const { return lateness_.size(); }
    // Seconds from the start to the beginning of the longest stall.
    double LongestAt() const { return longestAt_; }
    double Seconds() const { return Ms(last_ - start_) / 1000; }
    // Once stopped: the process's CPU seconds in the run (the machine has few cores to share).
    double Cpu() const { return cpu_; }

private:
    void Record(SteadyClock::time_point now) {
        double late = Ms(now - last_ - kTick);
        if (lateness_.empty() || late > Longest()) {
            longestAt_ = Ms(last_ - start_) / 1000;
        }
        lateness_.push_back(late);
        last_ = now;
    }

    QTimer timer_;
    SteadyClock::time_point start_, last_;
    std::vector<double> lateness_;
    double longestAt_ = 0;
    double cpu_ = 0;
};

// Runs the interface thread's event loop until `done` holds or `limit` has passed; true when it held.
template <typename F>
bool RunUntil(F done, std::chrono::milliseconds limit) {
    auto end = SteadyClock::now() + limit;
    QEventLoop loop;
    QTimer check;
    bool held = false;
    QObject::connect(&check, &QTimer::timeout, [&] {
        held = done();
        if (held || SteadyClock::now() >= end) {
            loop.quit();
        }
    });
    check.start(20);
    loop.exec();
    return held;
}

void RunFor(std::chrono::milliseconds span) {
    RunUntil([] { return false; }, span);
}

fs::path MakeTempDir(const fs::path& parent) {
    std::string pattern = (parent / "tarvane-uibench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed in " + parent.string());
    }
    return pattern;
}

std::string GamePage(int number) {
    return "http://game.quellora.localhost/game/" + std::to_string(number) + ".htm";
}

// Hands links over on the real socket from a thread of its own, as second instances do, one after
// another; records how long each waited for its answer.
class HandoffSender {
public:
    HandoffSender(std::string socketPath, std::vector<std::string> links)
        : thread_([this, socketPath, links] {
              for (const std::string& link : links) {
                  auto record = platform::EncodeLinkHandoff({link, "", "", 0});
                  auto start = SteadyClock::now();
                  platform::HandoffResult result =
                      platform::SendLinkHandoff(socketPath, record.value_or(""), platform::HandoffTiming{});
                  times_.push_back(Ms(SteadyClock::now() - start));
                  span_ = Ms(SteadyClock::now() - begun_) / 1000;
                  if (result != platform::HandoffResult::Delivered) {
                      failed_ = true;
                  }
              }
              done_ = true;
          }) {}
    ~HandoffSender() { Wait(); }
    void Wait() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool done() const { return done_; }
    bool failed() const { return failed_; }
    // Once done.
    double Longest() const { return times_.empty() ? 0 : *std::max_element(times_.begin(), times_.end()); }
    // Seconds from the first hand-off to the last answer.
    double Span() const { return span_; }

private:
    SteadyClock::time_point begun_ = SteadyClock::now();
    std::vector<double> times_;
    double span_ = 0;
    std::atomic<bool> done_{false};
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

// A program directory with the main window on it, shown offscreen, and its hand-off socket.
class Window {
public:
    Window(const fs::path& directory, const std::string& config, const std::string& officialHost)
        : directory_(directory.string() + "/") {
        std::ofstream(directory / "config.ini") << config;
        std::ofstream(directory / "updater") << "#!/bin/sh\n";
        fs::create_directories(directory / "runtime");
        autostart_ =
            std::make_unique<XdgAutostart>((directory / "autostart").string(), (directory / "tarvane").string());
        MainDialogSetup setup;
        setup.programDirectory = directory_;
        setup.executablePath = (directory / "tarvane").string();
        setup.schemeFolders = {(directory / "data/applications").string(),
                               (directory / "config/mimeapps.list").string()};
        setup.webPane = false;
        setup.trayAvailable = [] { return true; };
        setup.hosts = {officialHost, "game.quellora.localhost:8717", "", "quellora.localhost"};
        setup.autostart = autostart_.get();
        dialog_ = std::make_unique<MainDialog>(setup, shell_.Ports());
        socketPath_ = (directory / "runtime" / "Quellora").string();
        server_ = std::make_unique<HandoffServer>(
            HandoffServer::Handlers{[this](std::uint64_t dwData, const platform::LinkHandoffRecord& record) {
                                        dialog_->OnCopyData(dwData, record);
                                    },
                                    [this] { dialog_->BringForward(); }});
        if (!server_->Listen(socketPath_)) {
            throw std::runtime_error("cannot listen on " + socketPath_);
        }
    }
    ~Window() {
        server_.reset();
        dialog_->Finish();
    }
    // Loads the task list and shows the window; answers how long the loading took.
    double Open() {
        auto start = SteadyClock::now();
        dialog_->Initialize();
        double took = Ms(SteadyClock::now() - start);
        dialog_->show();
        RunFor(std::chrono::milliseconds(500));
        return took;
    }
    MainDialog& dialog() { return *dialog_; }
    const std::string& socketPath() const { return socketPath_; }

private:
    std::string directory_;
    BenchShell shell_;
    std::unique_ptr<XdgAutostart> autostart_;
    std::unique_ptr<MainDialog> dialog_;
    std::string socketPath_;
    std::unique_ptr<HandoffServer> server_;
};

struct RunResult {
    std::string name;
    double longest = 0;
    double p99 = 0;
    size_t ticks = 0;
    double longestAt = 0;
    double seconds = 0;
    double cpu = 0;
    std::optional<double> handoff;  // the longest wait of a hand-off in the run
    std::string note;
};

RunResult Measured(std::string name, const StallMeter& meter) {
    RunResult result;
    result.name = std::move(name);
    result.longest = meter.Longest();
    result.p99 = meter.Percentile(0.99);
    result.ticks = meter.Ticks();
    result.longestAt = meter.LongestAt();
    result.seconds = meter.Seconds();
    result.cpu = meter.Cpu();
    return result;
}

std::string Config(const fs::path& saveTo) {
    return "[options]\nmaxTaskNum=" + std::to_string(kRunning) + "\ndefaultPath=" + saveTo.string() +
           "\nplayAudioCmp=0\n";
}

size_t FilesOfSize(const fs::path& folder, uintmax_t size) {
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        count += entry.is_regular_file() && entry.file_size() == size ? 1 : 0;
    }
    return count;
}

// The window alone, for the machine's own noise.
RunResult IdleRun(const fs::path& root) {
    fs::path home = MakeTempDir(root), out = home / "saved";
    fs::create_directories(out);
    Window window(home, Config(out), "127.0.0.1:1");
    window.Open();
    StallMeter meter;
    meter.Start();
    RunFor(std::chrono::seconds(3));
    meter.Stop();
    RunResult result = Measured("0. idle window (noise floor)", meter);
    return result;
}

// A link handed over while the parse service takes `parseSeconds` to answer.
RunResult SlowParseRun(const fs::path& root, int parseSeconds) {
    test::TestSite site;
    site.AddFile("/files/slow.bin", test::MakeFileBytes(1 << 20, 7));
    site.SetParseReply(GamePage(1), site.Url("/files/slow.bin"), "slow");
    site.HoldParseReplies();
    fs::path home = MakeTempDir(root), out = home / "saved";
    fs::create_directories(out);
    Window window(home, Config(out), site.Host());
    window.Open();

    // The reply comes `parseSeconds` after the service was asked.
    std::atomic<bool> stop{false};
    std::thread releaser([&] {
        while (!stop && site.ParseRequestLinks().empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (int i = 0; i < parseSeconds * 100 && !stop; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        site.ReleaseStalls();
    });
    StallMeter meter;
    meter.Start();
    HandoffSender sender(window.socketPath(), {GamePage(1)});
    MainDialog& dialog = window.dialog();
    bool finished = RunUntil(
        [&] {
            return sender.done() && dialog.model().rowCount() == 0 && dialog.engine().scheduler.LiveWorkers() == 0 &&
                   FilesOfSize(out, 1 << 20) == 1;
        },
        std::chrono::seconds(parseSeconds + 30));
    meter.Stop();
    stop = true;
    releaser.join();
    RunResult result = Measured("1. link handed over, parse reply after " + std::to_string(parseSeconds) + " s", meter);
    sender.Wait();
    result.handoff = sender.Longest();
    if (sender.failed()) {
        result.note = "the hand-off failed";
    } else if (!finished) {
        result.note = "the task did not finish";
    }
    return result;
}

// 20 links handed over one after another, their files downloaded at full speed.
RunResult FullSpeedRun(const fs::path& root, const std::string& files, uintmax_t fileBytes, double* mibPerSecond,
                       double* handoffSpan) {
    test::TestSite site;
    std::vector<std::string> pages;
    for (int i = 0; i < kRunning; ++i) {
        pages.push_back(GamePage(100 + i));
        site.SetParseReply(pages.back(), files + "full/part" + std::to_string(i) + ".bin", "full" + std::to_string(i));
    }
    fs::path home = MakeTempDir(root), out = home / "saved";
    fs::create_directories(out);
    Window window(home, Config(out), site.Host());
    window.Open();
    MainDialog& dialog = window.dialog();

    StallMeter meter;
    meter.Start();
    auto start = SteadyClock::now();
    HandoffSender sender(window.socketPath(), pages);
    bool finished = RunUntil(
        [&] {
            return sender.done() && dialog.model().rowCount() == 0 && dialog.engine().scheduler.LiveWorkers() == 0 &&
                   FilesOfSize(out, fileBytes) == kRunning;
        },
        std::chrono::minutes(3));
    meter.Stop();
    double seconds = Ms(SteadyClock::now() - start) / 1000;
    *mibPerSecond = static_cast<double>(fileBytes >> 20) * kRunning / seconds;
    sender.Wait();
    *handoffSpan = sender.Span();
    RunResult result = Measured("2. 20 tasks at full speed", meter);
    result.handoff = sender.Longest();
    if (sender.failed()) {
        result.note = "a hand-off failed";
    } else if (!finished) {
        result.note = "not all tasks finished";
    }
    fs::remove_all(out);
    return result;
}

// download.xml with `count` paused tasks, written at once in the task files' own item form.
void WriteTaskList(const std::string& directory, int count, const std::string& files, const fs::path& out) {
    std::string download = directory + kDownloadFileName;
    {
        TaskFiles taskFiles;
        taskFiles.EnsureTaskFiles(directory);
        DownloadTask task;
        task.frmPge = "http://game.quellora.localhost/game/@N@.htm";
        task.name = "game@N@";
        task.path = out.string();
        task.fileLink = files + "slow/@L@.bin";
        task.flag = std::to_string(kStatePaused);
        taskFiles.AddItem(download, task, false);
    }
    std::stringstream text;
    text << std::ifstream(download, std::ios::binary).rdbuf();
    std::string whole = text.str();
    size_t begin = whole.find("<item");
    size_t end = whole.find('\n', begin) + 1;
    std::string item = whole.substr(begin, end - begin);
    auto replaced = [](std::string line, const std::string& from, const std::string& to) {
        for (size_t at = line.find(from); at != std::string::npos; at = line.find(from, at + to.size())) {
            line.replace(at, from.size(), to);
        }
        return line;
    };
    std::ofstream list(download, std::ios::binary | std::ios::trunc);
    list << whole.substr(0, begin);
    for (int i = 0; i < count; ++i) {
        list << replaced(replaced(item, "@N@", std::to_string(10000 + i)), "@L@",
                         "part" + std::to_string(i % kRunning));
    }
    list << whole.substr(end);
}

// `count` paused tasks listed; 20 of them, spread over the list, started one after another.
RunResult ListedRun(const fs::path& root, const std::string& files, int count, std::chrono::seconds span,
                    double* loadMs) {
    test::TestSite site;
    fs::path home = MakeTempDir(root), out = home / "saved";
    fs::create_directories(out);
    WriteTaskList(home.string() + "/", count, files, out);
    Window window(home, Config(out), site.Host());
    *loadMs = window.Open();
    MainDialog& dialog = window.dialog();

    StallMeter meter;
    meter.Start();
    // The way a user starts them: select the row, press start; a tenth of a second apart.
    int started = 0;
    QTimer starter;
    QObject::connect(&starter, &QTimer::timeout, [&] {
        int row = started * (count / kRunning);
        dialog.taskList()->selectRow(row);
        dialog.windowActions().start->trigger();
        if (++started == kRunning) {
            starter.stop();
        }
    });
    starter.start(100);
    RunFor(span);
    meter.Stop();
    RunResult result = Measured("3. " + std::to_string(count) + " tasks listed, 20 running", meter);
    size_t live = dialog.engine().scheduler.LiveWorkers();
    if (live != kRunning) {
        result.note = std::to_string(live) + " running at the end";
    }
    return result;
}

pid_t StartNginx(const fs::path& root, const fs::path& www, int port, int slowKiB) {
    std::ofstream(root / "nginx.conf") << "daemon off; master_process off; worker_processes 1;\n"
                                       << "pid " << (root / "nginx.pid").string() << ";\n"
                                       << "error_log " << (root / "error.log").string() << ";\n"
                                       << "events { worker_connections 256; }\n"
                                       << "http { access_log off; sendfile on; tcp_nopush on;\n"
                                       << "  client_body_temp_path " << (root / "tmp").string() << ";\n"
                                       << "  server { listen 127.0.0.1:" << port << "; root " << www.string()
                                       << ";\n    location /slow/ { limit_rate " << slowKiB << "k; } } }\n";
    std::string conf = (root / "nginx.conf").string();
    char* args[] = {const_cast<char*>("nginx"), const_cast<char*>("-c"), conf.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, "nginx", &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// True once the server serves the file.
bool WaitForServer(const std::string& url) {
    for (int i = 0; i < 100; ++i) {
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        long status = 0;
        bool ok = curl_easy_perform(curl) == CURLE_OK &&
                  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
        curl_easy_cleanup(curl);
        if (ok) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void PrintTable(const std::vector<RunResult>& runs) {
    std::printf("\n%-44s %8s %8s %12s %8s %9s %7s %9s %16s\n", "run", "span (s)", "CPU (s)", "longest (ms)", "at (s)",
                "p99 (ms)", "ticks", "goal <50", "hand-off (ms)");
    for (const RunResult& run : runs) {
        bool idle = run.name.rfind("0.", 0) == 0;
        std::string handoff = "-";
        if (run.handoff) {
            char text[64];
            std::snprintf(text, sizeof text, "%.1f %s", *run.handoff, *run.handoff < kHandoffGoalMs ? "ok" : "MISS");
            handoff = text;
        }
        std::printf("%-44s %8.1f %8.1f %12.1f %8.2f %9.1f %7zu %9s %16s%s%s\n", run.name.c_str(), run.seconds, run.cpu,
                    run.longest, run.longestAt, run.p99, run.ticks,
                    idle ? "-" : (run.longest < kStallGoalMs ? "ok" : "MISS"), handoff.c_str(),
                    run.note.empty() ? "" : "  ! ", run.note.c_str());
    }
    std::printf(
        "goal: longest stall under %.0f ms in every run; a hand-off answered within %.0f ms (the longest "
        "wait of the run's hand-offs); \"at\": where in the run the longest stall began\n",
        kStallGoalMs, kHandoffGoalMs);
}

}  // namespace

int main(int argc, char** argv) {
    uintmax_t fileMiB = argc > 1 ? std::stoull(argv[1]) : 200;
    int parseSeconds = argc > 2 ? std::stoi(argv[2]) : 20;
    int listed = argc > 3 ? std::stoi(argv[3]) : 10000;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TARVANE_WEB_PANE", "0", 1);
    // The served file lives in memory (one file behind 20 names each for full speed and for 2 MiB/s);
    // the downloads go to the disk.
    fs::path shm = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path serverRoot = MakeTempDir(shm), root = MakeTempDir(fs::temp_directory_path());
    fs::create_directory(root / "runtime");
    fs::permissions(root / "runtime", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_ALL);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    app.setQuitOnLastWindowClosed(false);
    artwork::InitArtwork();

    fs::path www = serverRoot / "www";
    fs::create_directories(www / "full");
    fs::create_directories(www / "slow");
    fs::create_directories(serverRoot / "tmp");
    std::cerr << "making a file of " << fileMiB << " MiB...\n";
    bench::MakeFile(www / "source.bin", fileMiB << 20);
    for (int i = 0; i < kRunning; ++i) {
        std::string name = "part" + std::to_string(i) + ".bin";
        fs::create_symlink(www / "source.bin", www / "full" / name);
        fs::create_symlink(www / "source.bin", www / "slow" / name);
    }
    int port = 20000 + getpid() % 20000;
    pid_t nginx = StartNginx(serverRoot, www, port, 2048);
    std::string files = "http://127.0.0.1:" + std::to_string(port) + "/";
    std::vector<RunResult> runs;
    double fullSpeed = 0, handoffSpan = 0, loadMs = 0;
    if (nginx < 0 || !WaitForServer(files + "full/part0.bin")) {
        std::cerr << "nginx did not start (is it installed?)\n";
    } else {
        std::cerr << "idle window...\n";
        runs.push_back(IdleRun(root));
        std::cerr << "link handed over, parse service answering after " << parseSeconds << " s...\n";
        runs.push_back(SlowParseRun(root, parseSeconds));
        std::cerr << "20 tasks at full speed...\n";
        runs.push_back(FullSpeedRun(root, files, fileMiB << 20, &fullSpeed, &handoffSpan));
        std::cerr << listed << " tasks listed, 20 running...\n";
        runs.push_back(ListedRun(root, files, listed, std::chrono::seconds(15), &loadMs));
    }
    if (nginx > 0) {
        kill(nginx, SIGTERM);
        waitpid(nginx, nullptr, 0);
    }
    fs::remove_all(root);
    fs::remove_all(serverRoot);
    if (runs.empty()) {
        return 1;
    }
    PrintTable(runs);
    std::printf("run 2: %d x %ju MiB at %.0f MiB/s in all, the 20 links handed over in its first %.2f s\n", kRunning,
                fileMiB, fullSpeed, handoffSpan);
    std::printf(
        "run 3: the list took %.0f ms to load (before the window shows; not counted); its 20 tasks, started a "
        "tenth of a second apart, run at 2 MiB/s each\n",
        loadMs);
    curl_global_cleanup();
    return 0;
}
