// The speed limit on the real engine and a local site: 1 task and 20 tasks of up to 8 connections,
// each connection of the site slower than a task's share (a task needs several to reach it), each file
// larger than the run can fetch; aria2c with the same overall limit on the same files in the same run.
// Prints the worst 10 s window of the total against the limit, above and below, and the lowest
// task's part against an equal share of the limit, counted as the downloads write them.
//   speed_limit_bench [KB/s] [seconds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <curl/curl.h>

#include "bench/file_task.h"
#include "bench/quiet_process.h"
#include "bench/silent_ports.h"
#include "tarvane/core/engine_assembly.h"
#include "tests/support/test_site.h"

namespace fs = std::filesystem;
using namespace tarvane;

namespace {

constexpr int kSliceMs = 100;
constexpr int kWindowSlices = 10'000 / kSliceMs;
// The connection ramp settles within these first seconds; they are not measured.
constexpr int kSettleSlices = 3'000 / kSliceMs;

// Downloads under way: the bytes each has written so far, and what stops them.
struct Downloads {
    std::function<std::vector<double>()> written;
    std::function<void()> stop;
};
// Starts the downloads of `urls` into `out` under an overall limit.
using Starter = std::function<Downloads(const std::vector<std::string>& urls, const fs::path& out, int64_t kbps)>;

Downloads StartTarvane(const std::vector<std::string>& urls, const fs::path& out, int64_t kbps) {
    std::string dir = out.parent_path().string() + "/";
    std::ofstream(dir + "config.ini") << "[options]\nplayAudioCmp=0\nmaxTaskNum=20\nmaxConnections=8\nmaxSpeed=" << kbps
                                      << "\n";
    auto ports = std::make_shared<bench::SilentPorts>();
    auto engine = std::make_shared<EngineAssembly>(EngineSetup{dir, "127.0.0.1:1", "quellora.localhost", {}},
                                                   EnginePorts{*ports, *ports, *ports});
    engine->files.EnsureTaskFiles(dir);
    engine->LoadTasks();
    for (size_t t = 0; t < urls.size(); ++t) {
        // Each task from a host name of its own (all of them this machine): the limit is measured here,
        // not the budget of connections one host allows.
        std::string url = urls[t];
        url.replace(url.find("127.0.0.1"), 9, "game" + std::to_string(t) + ".localhost");
        engine->commands.AddTask(
            bench::FileTask("page" + std::to_string(t), url, "game" + std::to_string(t), out.string()));
    }
    // Not an owner: the engine ends in stop(), before the ports it uses and the folder it writes.
    auto written = [weak = std::weak_ptr(engine)] {
        std::vector<double> bytes;
        auto live = weak.lock();
        for (TaskId id : live != nullptr ? live->book.Ids() : std::vector<TaskId>{}) {
            bytes.push_back(static_cast<double>(live->book.Get(id).value_or(TaskEntry{}).done));
        }
        return bytes;
    };
    auto stop = [engine, ports]() mutable {
        engine->tables.PauseAllWorkers();
        engine->scheduler.Shutdown(std::chrono::seconds(10));
        engine.reset();  // before the ports it uses
    };
    return {written, stop};
}

Downloads StartAria2(const std::vector<std::string>& urls, const fs::path& out, int64_t kbps) {
    fs::path list = out.parent_path() / "aria2.txt";
    std::ofstream file(list);
    for (size_t t = 0; t < urls.size(); ++t) {
        file << urls[t] << "\n  out=aria2-" << t << ".bin\n";
    }
    file.close();
    pid_t pid =
        bench::SpawnQuiet({"aria2c", "-q", "-x8", "-s8", "-j", std::to_string(urls.size()),
                           "--max-overall-download-limit=" + std::to_string(kbps) + "K", "--file-allocation=none",
                           "--disk-cache=0", "-d", out.string(), "-i", list.string()});
    // Its files are written without reserving, so the blocks they hold are the bytes written.
    auto written = [out, count = urls.size()] {
        std::vector<double> bytes;
        for (size_t t = 0; t < count; ++t) {
            struct stat info {};
            bool found = stat((out / ("aria2-" + std::to_string(t) + ".bin")).c_str(), &info) == 0;
            bytes.push_back(found ? static_cast<double>(info.st_blocks) * 512 : 0);
        }
        return bytes;
    };
    auto stop = [pid] {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    };
    return {written, stop};
}

void Run(const char* name, const Starter& start, int tasks, int64_t kbps, int seconds) {
    char pattern[] = "/tmp/tarvane-limit-XXXXXX";
    fs::path root = mkdtemp(pattern);
    fs::create_directories(root / "out");
    const double limitBytes = static_cast<double>(kbps) * 1024;
    const auto perConnection = static_cast<size_t>(limitBytes / tasks / 4);
    const auto size = std::max<uint64_t>(32 << 20, static_cast<uint64_t>(limitBytes * seconds * 2 / tasks));
    test::TestSite site;
    std::vector<std::string> paths, urls;
    for (int t = 0; t < tasks; ++t) {
        paths.push_back("/game" + std::to_string(t) + ".bin");
        // A validator, as mirrors send: without one a file comes over one connection.
        site.Add(paths.back(), {.etag = "\"bench\"", .bytesPerSecond = perConnection, .virtualSize = size});
        urls.push_back(site.Url(paths.back()));
    }
    std::vector<std::vector<double>> done;  // of each slice, of each task
    Downloads downloads = start(urls, root / "out", kbps);
    auto begin = std::chrono::steady_clock::now();
    for (int slice = 0; slice <= seconds * 1000 / kSliceMs; ++slice) {
        std::this_thread::sleep_until(begin + std::chrono::milliseconds(slice * kSliceMs));
        done.push_back(downloads.written());
        done.back().resize(paths.size());
    }
    downloads.stop();
    auto total = [&](int slice) {
        double sum = 0;
        for (double bytes : done[static_cast<size_t>(slice)]) {
            sum += bytes;
        }
        return sum;
    };
    double most = 0, least = 1e300;
    int last = static_cast<int>(done.size()) - 1;
    for (int from = kSettleSlices; from + kWindowSlices <= last; ++from) {
        double ratio = (total(from + kWindowSlices) - total(from)) / (limitBytes * 10);
        most = std::max(most, ratio);
        least = std::min(least, ratio);
    }
    double measured = (last - kSettleSlices) * kSliceMs / 1000.0, lowest = 1e300;
    for (size_t t = 0; t < paths.size(); ++t) {
        lowest = std::min(lowest, done.back()[t] - done[kSettleSlices][t]);
    }
    std::printf(
        "%-8s %2d task(s), limit %lld KB/s, site %zu KB/s a connection: any 10 s between %.3f and %.3f of the limit; "
        "lowest task %.2f of an equal share; most connections of one task %d\n",
        name, tasks, static_cast<long long>(kbps), perConnection / 1024, least, most,
        lowest / (limitBytes * measured / tasks), site.PeakConnections("/game0.bin"));
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    int64_t kbps = argc > 1 ? std::atoll(argv[1]) : 2048;
    int seconds = argc > 2 ? std::atoi(argv[2]) : 40;
    curl_global_init(CURL_GLOBAL_ALL);
    for (int tasks : {1, 20}) {
        Run("tarvane", StartTarvane, tasks, kbps, seconds);
        Run("aria2c", StartAria2, tasks, kbps, seconds);
    }
    return 0;
}
