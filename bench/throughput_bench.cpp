// Download throughput of the engine against curl, wget and aria2c, all fetching from one nginx on
// 127.0.0.1 in the same run. The engine's tasks are followed by a view thread, as the window does.
//   throughput_bench [MiB of the single file] [tasks] [MiB per task]
#include <curl/curl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <thread>

#include "bench/file_task.h"
#include "bench/silent_ports.h"
#include "tarvane/engine/task_commands.h"
#include "tarvane/store/task_file_writer.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace tarvane;

namespace {

// The engine's tasks followed as the window follows them: a view thread takes the changes a few
// times a second; every change is counted.
class FollowedBook {
public:
    FollowedBook() {
        book.OnChange([this] { changes_.fetch_add(1, std::memory_order_relaxed); });
        thread_ = std::thread([this] {
            uint64_t version = 0;
            while (!stop_) {
                version = book.ChangesSince(version).version;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
    }
    ~FollowedBook() {
        stop_ = true;
        thread_.join();
    }
    long changes() const { return changes_.load(); }

    TaskBook book;

private:
    std::atomic<long> changes_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

using Silent = bench::SilentPorts;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Run(std::vector<std::string> args, bool quiet = true) {
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return -1;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MakeFile(const fs::path& path, uint64_t bytes, unsigned seed) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(seed);
    std::vector<uint64_t> block(1 << 17);
    for (uint64_t written = 0; written < bytes; written += block.size() * 8) {
        for (auto& word : block)
            word = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<uint64_t>(block.size() * 8, bytes - written)));
    }
}

// The engine downloading `links` at once into `folder`; answers the wall time.
double EngineRun(const fs::path& home, const std::vector<std::string>& links, const fs::path& folder, double* cpu,
                 long* listWrites) {
    fs::remove_all(home);
    fs::create_directories(home);
    std::string dir = home.string() + "/";
    std::ofstream(dir + "config.ini") << "[options]\nmaxTaskNum=20\nplayAudioCmp=0\n";
    TaskFiles files;
    files.EnsureTaskFiles(dir);
    TaskTables tables;
    FollowedBook list;
    TaskFileWriter writer(list.book, files, dir);
    writer.Start();
    Silent ports;
    SystemClock clock;
    EngineContext context{tables, list.book, ports, clock, dir, 3000, nullptr, {}};
    LinkResolver resolver({"127.0.0.1:1", "quellora.localhost"});
    TransferScheduler scheduler(context);
    TaskCommands commands(context, scheduler, resolver, {ports, ports});
    double cpuBefore = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < links.size(); ++i) {
        commands.AddTask(
            bench::FileTask("page-" + std::to_string(i), links[i], "engine" + std::to_string(i), folder.string()));
    }
    while (scheduler.LiveWorkers() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    double elapsed = Seconds(std::chrono::steady_clock::now() - start);
    *cpu = CpuSeconds() - cpuBefore;
    *listWrites = list.changes();
    return elapsed;
}

template <typename F>
double BestOf3(F run) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, run());
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t singleMiB = argc > 1 ? std::stoull(argv[1]) : 1024;
    int tasks = argc > 2 ? std::stoi(argv[2]) : 20;
    uint64_t taskMiB = argc > 3 ? std::stoull(argv[3]) : 50;
    curl_global_init(CURL_GLOBAL_ALL);

    char pattern[] = "/tmp/tarvane-bench-XXXXXX";
    fs::path root = mkdtemp(pattern);
    fs::path www = root / "www", out = root / "out";
    fs::create_directories(www);
    fs::create_directories(out);
    std::cerr << "making files...\n";
    MakeFile(www / "single.bin", singleMiB << 20, 1);
    for (int i = 0; i < tasks; ++i)
        MakeFile(www / ("part" + std::to_string(i) + ".bin"), taskMiB << 20, 100 + i);

    int port = 18000 + getpid() % 20000;
    std::ofstream(root / "nginx.conf") << "daemon off; master_process off; worker_processes 1; user root;\n"
                                          "pid "
                                       << (root / "nginx.pid").string() << ";\nerror_log "
                                       << (root / "error.log").string()
                                       << ";\nevents { worker_connections 256; }\nhttp { access_log off; sendfile on; "
                                          "tcp_nopush on; server { listen 127.0.0.1:"
                                       << port << "; root " << www.string() << "; } }\n";
    pid_t nginx = -1;
    std::string conf = (root / "nginx.conf").string();
    char* nginxArgs[] = {const_cast<char*>("nginx"), const_cast<char*>("-c"), conf.data(), nullptr};
    if (posix_spawnp(&nginx, "nginx", nullptr, nullptr, nginxArgs, environ) != 0) {
        std::cerr << "nginx is not installed\n";
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";
    std::string single = base + "single.bin";
    double gib = static_cast<double>(singleMiB) / 1024;

    auto timed = [](auto&& body) {
        auto start = std::chrono::steady_clock::now();
        body();
        return Seconds(std::chrono::steady_clock::now() - start);
    };
    auto clean = [&] {
        fs::remove_all(out);
        fs::create_directories(out);
    };

    double engineCpu = 0;
    long writes = 0;
    double engine = BestOf3([&] {
        clean();
        double cpu = 0;
        double t = EngineRun(root / "home", {single}, out, &cpu, &writes);
        engineCpu = cpu;
        if (fs::file_size(out / "engine0.bin") != (singleMiB << 20))
            std::cerr << "engine: wrong size\n";
        return t;
    });
    double curl = BestOf3([&] {
        clean();
        return timed([&] { Run({"curl", "-s", "-o", (out / "c.bin").string(), single}); });
    });
    // The engine syncs a file before it calls it finished; this is curl with the same promise.
    double curlSynced = BestOf3([&] {
        clean();
        return timed([&] {
            Run({"curl", "-s", "-o", (out / "c.bin").string(), single});
            Run({"sync", "--data", (out / "c.bin").string()});
        });
    });
    double wget = BestOf3([&] {
        clean();
        return timed([&] { Run({"wget", "-q", "-O", (out / "w.bin").string(), single}); });
    });
    double aria = BestOf3([&] {
        clean();
        return timed([&] {
            Run({"aria2c", "-q", "-x1", "-s1", "--file-allocation=none", "--allow-overwrite=true", "-d", out.string(),
                 "-o", "a.bin", single});
        });
    });

    std::vector<std::string> parts;
    std::ofstream list(root / "parts.txt");
    for (int i = 0; i < tasks; ++i) {
        parts.push_back(base + "part" + std::to_string(i) + ".bin");
        list << parts.back() << "\n";
    }
    list.close();
    double manyCpu = 0;
    long manyWrites = 0;
    double engineMany = BestOf3([&] {
        clean();
        double cpu = 0;
        double t = EngineRun(root / "home", parts, out, &cpu, &manyWrites);
        manyCpu = cpu;
        return t;
    });
    double ariaMany = BestOf3([&] {
        clean();
        return timed([&] {
            Run({"aria2c", "-q", "-j", std::to_string(tasks), "-x1", "-s1", "--file-allocation=none",
                 "--allow-overwrite=true", "-d", out.string(), "-i", (root / "parts.txt").string()});
        });
    });

    kill(nginx, SIGTERM);
    waitpid(nginx, nullptr, 0);
    fs::remove_all(root);

    auto rate = [&](double seconds, double gibibytes) { return gibibytes * 1024 / seconds; };
    std::printf("single file of %llu MiB, best of 3 (MiB/s):\n", static_cast<unsigned long long>(singleMiB));
    std::printf("  engine  %8.0f   (%.2f CPU s per GiB, %ld task changes)\n", rate(engine, gib), engineCpu / gib,
                writes);
    std::printf("  curl    %8.0f\n", rate(curl, gib));
    std::printf("  curl, then fdatasync %8.0f\n", rate(curlSynced, gib));
    std::printf("  wget    %8.0f\n", rate(wget, gib));
    std::printf("  aria2c  %8.0f\n", rate(aria, gib));
    std::printf("  engine/curl ratio %.2f (target >= 0.95); against curl, then fdatasync %.2f\n", curl / engine,
                curlSynced / engine);
    double manyGib = static_cast<double>(taskMiB) * tasks / 1024;
    std::printf("%d tasks of %llu MiB at once, best of 3 (MiB/s):\n", tasks, static_cast<unsigned long long>(taskMiB));
    std::printf("  engine  %8.0f   (%.2f CPU s per GiB)\n", rate(engineMany, manyGib), manyCpu / manyGib);
    std::printf("  aria2c  %8.0f   (-j%d)\n", rate(ariaMany, manyGib), tasks);
    std::printf("  engine/aria2c ratio %.2f (target >= 1.00)\n", ariaMany / engineMany);
    curl_global_cleanup();
    return 0;
}
