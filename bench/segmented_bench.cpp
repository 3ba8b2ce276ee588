// One large file over several connections, against aria2c and curl from one local nginx in the same
// run: (a) with nginx's limit_rate per connection, as CDNs and mirrors do; (b) without a limit; (c) the
// speed of the last 5 % against the average.
//   segmented_bench [MiB] [limit per connection, nginx syntax]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <thread>

#include <curl/curl.h>

#include "bench/file_task.h"
#include "bench/quiet_process.h"
#include "bench/silent_ports.h"
#include "tarvane/core/engine_assembly.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace tarvane;
using SteadyClock = std::chrono::steady_clock;

namespace {

double Since(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Runs a peer to its end, or for `limit` seconds when one is given; answers the seconds it ran.
double RunPeer(std::vector<std::string> args, double limit = 0) {
    auto start = SteadyClock::now();
    pid_t pid = bench::SpawnQuiet(std::move(args));
    if (pid < 0) {
        return -1;
    }
    if (limit > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(limit));
        kill(pid, SIGKILL);
    }
    waitpid(pid, nullptr, 0);
    return Since(start);
}

void MakeFile(const fs::path& path, uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(7);
    std::vector<uint64_t> block(1 << 17);
    for (uint64_t written = 0; written < bytes; written += block.size() * 8) {
        for (auto& word : block) {
            word = random();
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<uint64_t>(block.size() * 8, bytes - written)));
    }
}

// The bytes nginx sent since the log was last emptied (each request is logged when it ends).
uint64_t SentBytes(const fs::path& log) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::ifstream in(log);
    uint64_t total = 0, bytes = 0;
    while (in >> bytes) {
        total += bytes;
    }
    return total;
}

struct EngineTimes {
    double seconds = 0;    // to the finished file
    double lastShare = 0;  // speed of the last 5 % over the average
};

// tarvane's engine with `connections` as its setting, the task's row watched for the last 5 %.
EngineTimes EngineRun(const fs::path& root, const std::string& link, int connections, uint64_t size) {
    fs::remove_all(root / "home");
    fs::remove_all(root / "out");
    fs::create_directories(root / "home");
    fs::create_directories(root / "out");
    std::string dir = (root / "home").string() + "/";
    std::ofstream(dir + "config.ini") << "[options]\nplayAudioCmp=0\n";
    bench::SilentPorts ports;
    EngineAssembly engine(EngineSetup{dir, "127.0.0.1:1", "quellora.localhost", {}}, EnginePorts{ports, ports, ports});
    engine.context.connectionLimit = [connections] { return connections; };
    engine.files.EnsureTaskFiles(dir);
    engine.LoadTasks();
    auto start = SteadyClock::now();
    TaskId id = engine.commands.AddTask(bench::FileTask("page", link, "tarvane", (root / "out").string()));
    double at95 = -1;
    double at100 = -1;  // every byte in: the task shows 100 % or has moved to the finished list
    while (engine.scheduler.LiveWorkers() > 0) {
        auto task = engine.book.Get(id);
        if (at95 < 0 && task && task->size > 0 && task->done * 100 >= task->size * 95) {
            at95 = Since(start);
        }
        if (at100 < 0 && at95 >= 0 && (!task || task->done >= task->size)) {
            at100 = Since(start);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EngineTimes times;
    times.seconds = Since(start);
    if (fs::file_size(root / "out" / "tarvane.bin") != size) {
        std::cerr << "tarvane: wrong size\n";
    }
    // The speed of the last 5 % of the bytes against the average speed of all of them.
    at100 = at100 < 0 ? times.seconds : at100;
    times.lastShare = at95 < 0 || at100 <= at95 ? 0 : (0.05 / (at100 - at95)) / (1.0 / at100);
    return times;
}

double MiBps(uint64_t bytes, double seconds) {
    return static_cast<double>(bytes) / 1048576.0 / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
    std::string limit = argc > 2 ? argv[2] : "8m";
    uint64_t size = mib << 20;
    curl_global_init(CURL_GLOBAL_ALL);
    char pattern[] = "/tmp/tarvane-segments-XXXXXX";
    fs::path root = mkdtemp(pattern);
    fs::create_directories(root / "www");
    std::cerr << "making the file...\n";
    MakeFile(root / "www" / "game.bin", size);

    // One nginx: the first port limits every connection, the second does not.
    int port = 20000 + getpid() % 20000;
    fs::path log = root / "sent.log";
    std::ofstream(root / "nginx.conf")
        << "daemon off; master_process off; worker_processes 1; user root;\npid " << (root / "nginx.pid").string()
        << ";\nerror_log " << (root / "error.log").string()
        << ";\nevents { worker_connections 512; }\nhttp { log_format sent '$bytes_sent'; access_log " << log.string()
        << " sent; sendfile on; tcp_nopush on;\n  server { listen 127.0.0.1:" << port << "; root "
        << (root / "www").string() << "; limit_rate " << limit << "; }\n  server { listen 127.0.0.1:" << port + 1
        << "; root " << (root / "www").string() << "; } }\n";
    pid_t nginx = bench::SpawnQuiet({"nginx", "-c", (root / "nginx.conf").string()});
    if (nginx < 0) {
        std::cerr << "nginx is not installed\n";
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string limited = "http://127.0.0.1:" + std::to_string(port) + "/game.bin";
    std::string open = "http://127.0.0.1:" + std::to_string(port + 1) + "/game.bin";
    fs::path out = root / "out";
    auto aria = [&](const std::string& link, std::vector<std::string> options, double seconds = 0) {
        fs::remove_all(out);
        fs::create_directories(out);
        std::vector<std::string> args{"aria2c", "-q", "--allow-overwrite=true", "-d", out.string(), "-o", "a.bin"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(link);
        return RunPeer(args, seconds);
    };
    auto tenSeconds = [&](std::function<void()> run) {
        std::ofstream(log, std::ios::trunc).close();
        run();
        return MiBps(SentBytes(log), 10);
    };

    std::printf("(a) %llu MiB, nginx limit_rate %s per connection (MiB/s)\n", static_cast<unsigned long long>(mib),
                limit.c_str());
    for (int connections : {8, 16}) {
        EngineTimes engine = EngineRun(root, limited, connections, size);
        std::string x = "-x" + std::to_string(connections), s = "-s" + std::to_string(connections);
        double peer = aria(limited, {x, s});
        std::printf("  tarvane at %2d %7.1f   aria2c %s %s %7.1f   ratio %.2f (goal >= 0.95)   last 5 %%: %.2f\n",
                    connections, MiBps(size, engine.seconds), x.c_str(), s.c_str(), MiBps(size, peer),
                    peer / engine.seconds, engine.lastShare);
    }
    double ariaDefault = tenSeconds([&] { aria(limited, {}, 10); });
    double curlLimited = tenSeconds([&] {
        fs::remove_all(out);
        fs::create_directories(out);
        RunPeer({"curl", "-s", "-o", (out / "c.bin").string(), limited}, 10);
    });
    std::printf("  for 10 s: aria2c (its defaults) %7.1f   curl %7.1f\n", ariaDefault, curlLimited);

    std::printf("(b) the same file without a limit, best of 3 (MiB/s)\n");
    double segmented = 1e300, single = 1e300, curl = 1e300, lastShare = 0;
    for (int i = 0; i < 3; ++i) {
        EngineTimes many = EngineRun(root, open, 8, size);
        if (many.seconds < segmented) {
            segmented = many.seconds;
            lastShare = many.lastShare;
        }
        single = std::min(single, EngineRun(root, open, 1, size).seconds);
        fs::remove_all(out);
        fs::create_directories(out);
        curl = std::min(curl, RunPeer({"curl", "-s", "-o", (out / "c.bin").string(), open}));
    }
    std::printf(
        "  tarvane (8) %7.1f   tarvane (1) %7.1f   curl %7.1f   segmented/one %.2f (goal >= 1.00)   "
        "last 5 %%: %.2f\n",
        MiBps(size, segmented), MiBps(size, single), MiBps(size, curl), single / segmented, lastShare);
    std::printf("(c) last 5 %% over the average: goal >= 0.80 (the figures above)\n");

    kill(nginx, SIGTERM);
    waitpid(nginx, nullptr, 0);
    fs::remove_all(root);
    curl_global_cleanup();
    return 0;
}
