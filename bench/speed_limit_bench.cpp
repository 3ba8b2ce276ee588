// The speed limit on the real engine and a local site: 1 task and 20 tasks of up to 8 connections,
// each connection of the site slower than a task's share (a task needs several to reach it), each file
// larger than the run can fetch. Prints the worst 10 s window of the total against the limit, above
// and below, and the lowest task's part against an equal share of the limit.
//   speed_limit_bench [KB/s] [seconds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <curl/curl.h>

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

void Run(int tasks, int64_t kbps, int seconds) {
    char pattern[] = "/tmp/tarvane-limit-XXXXXX";
    fs::path root = mkdtemp(pattern);
    std::string dir = root.string() + "/";
    fs::create_directories(root / "out");
    std::ofstream(dir + "config.ini") << "[options]\nplayAudioCmp=0\nmaxTaskNum=20\nmaxConnections=8\nmaxSpeed=" << kbps
                                      << "\n";
    const double limitBytes = static_cast<double>(kbps) * 1024;
    const auto perConnection = static_cast<size_t>(limitBytes / tasks / 4);
    const auto size = std::max<uint64_t>(32 << 20, static_cast<uint64_t>(limitBytes * seconds * 2 / tasks));
    test::TestSite site;
    bench::SilentPorts ports;
    std::vector<TaskId> ids;
    std::vector<std::vector<double>> done;  // of each slice, of each task
    {
        EngineAssembly engine(EngineSetup{dir, "127.0.0.1:1", "quellora.localhost", {}},
                              EnginePorts{ports, ports, ports, ports});
        engine.files.EnsureTaskFiles(dir);
        for (int t = 0; t < tasks; ++t) {
            std::string path = "/game" + std::to_string(t) + ".bin";
            site.Add(path, {.bytesPerSecond = perConnection, .virtualSize = size});
            AddTaskRequest request;
            request.task.frmPge = "page" + std::to_string(t);
            request.task.fileLink = site.Url(path);
            request.task.name = "game" + std::to_string(t);
            request.task.path = (root / "out").string();
            request.resolve = 1;
            engine.commands.AddTask(request);
        }
        ids = engine.book.Ids();
        auto start = std::chrono::steady_clock::now();
        for (int slice = 0; slice <= seconds * 1000 / kSliceMs; ++slice) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(slice * kSliceMs));
            std::vector<double>& row = done.emplace_back();
            for (TaskId id : ids) {
                auto task = engine.book.Get(id);
                row.push_back(task ? static_cast<double>(task->done) : 0);
            }
        }
        engine.tables.PauseAllWorkers();
        engine.scheduler.Shutdown(std::chrono::seconds(10));
    }
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
    for (size_t t = 0; t < ids.size(); ++t) {
        lowest = std::min(lowest, done.back()[t] - done[kSettleSlices][t]);
    }
    std::printf(
        "%2d task(s), limit %lld KB/s, site %zu KB/s a connection: any 10 s between %.3f and %.3f of the limit; "
        "lowest task %.2f of an equal share; most connections of one task %d\n",
        tasks, static_cast<long long>(kbps), perConnection / 1024, least, most,
        lowest / (limitBytes * measured / tasks), site.PeakConnections("/game0.bin"));
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    int64_t kbps = argc > 1 ? std::atoll(argv[1]) : 2048;
    int seconds = argc > 2 ? std::atoi(argv[2]) : 40;
    curl_global_init(CURL_GLOBAL_ALL);
    Run(1, kbps, seconds);
    Run(20, kbps, seconds);
    return 0;
}
