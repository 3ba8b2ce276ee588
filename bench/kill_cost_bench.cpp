// What a kill -9 costs a download: the bytes the server sent that were fetched again after the
// restart, in seconds of the download's own speed. tarvane over 8 connections and over one, against
// aria2c -x8 -s8, each killed at the same moments and restarted until the file is whole, in one run.
//   kill_cost_bench [MiB] [kills]
//   kill_cost_bench --child HOME LINK FOLDER CONNECTIONS   (one run of tarvane's engine)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include <curl/curl.h>

#include "bench/file_task.h"
#include "bench/quiet_process.h"
#include "bench/silent_ports.h"
#include "tarvane/core/engine_assembly.h"
#include "tests/support/test_site.h"

namespace fs = std::filesystem;
using namespace tarvane;
using SteadyClock = std::chrono::steady_clock;

namespace {

// The program's own settings (save interval, stall time, waits), as a user runs it.
int Child(const std::string& home, const std::string& link, const std::string& folder, const std::string& connections) {
    curl_global_init(CURL_GLOBAL_ALL);
    fs::create_directories(home);
    std::string dir = home + "/";
    std::ofstream(dir + "config.ini") << "[options]\nplayAudioCmp=0\nmaxConnections=" << connections << "\n";
    bench::SilentPorts ports;
    EngineAssembly engine(EngineSetup{dir, "127.0.0.1:1", "quellora.localhost", {}}, EnginePorts{ports, ports, ports});
    engine.files.EnsureTaskFiles(dir);
    engine.LoadTasks();
    if (engine.LocatePage("page") == kPageNew) {
        engine.commands.AddTask(bench::FileTask("page", link, "tarvane", folder));
    } else {
        engine.commands.StartTask(engine.book.Ids().front());
    }
    while (engine.scheduler.LiveWorkers() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return engine.LocatePage("page") == kPageCompleted ? 0 : 1;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Result {
    int kills = 0;
    double seconds = 0;  // running, all runs together
    uint64_t sent = 0;
    bool exact = false;
};

// Runs `command` again and again, killing it at each of `moments` after its start, then lets it end.
Result KilledRuns(const std::vector<std::string>& command, const std::vector<double>& moments, test::TestSite& site,
                  const fs::path& out, const std::string& bytes) {
    Result result;
    for (size_t run = 0; run <= moments.size(); ++run) {
        auto start = SteadyClock::now();
        pid_t pid = bench::SpawnQuiet(command);
        if (pid < 0) {
            return result;
        }
        int status = 0;
        bool ended = false;
        if (run < moments.size()) {
            auto deadline = start + std::chrono::duration<double>(moments[run]);
            while (SteadyClock::now() < deadline && !(ended = waitpid(pid, &status, WNOHANG) == pid)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (!ended) {
                kill(pid, SIGKILL);
                ++result.kills;
            }
        }
        if (!ended) {
            waitpid(pid, &status, 0);
        }
        double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        result.seconds += seconds;
        uint64_t sent = site.BytesSent("/game.bin");
        std::printf("    run %zu: %5.2f s, %s, %7.1f MiB sent in all\n", run + 1, seconds,
                    ended || run == moments.size() ? "ended" : "killed", static_cast<double>(sent) / (1 << 20));
        if (ended) {
            break;  // finished before the kill
        }
    }
    result.sent = site.BytesSent("/game.bin");
    result.exact = fs::exists(out) && ReadAll(out) == bytes;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--child") {
        return Child(argv[2], argv[3], argv[4], argv[5]);
    }
    size_t mib = argc > 1 ? std::stoul(argv[1]) : 768;
    int kills = argc > 2 ? std::stoi(argv[2]) : 5;
    // Made up on the fly: a file held in memory would be copied for every request the site answers.
    std::string bytes(mib << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = test::VirtualByte(i);
    }
    char pattern[] = "/tmp/tarvane-kill-XXXXXX";
    fs::path root = mkdtemp(pattern);
    std::string self = fs::canonical("/proc/self/exe").string();

    // The same moments for every peer: 2-4 s into each run.
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> moment(2.0, 4.0);
    std::vector<double> moments;
    for (int i = 0; i < kills; ++i) {
        moments.push_back(moment(random));
    }
    struct Peer {
        std::string name;
        size_t bytesPerSecond;  // per connection
        std::function<std::vector<std::string>(const std::string& url, const fs::path& folder)> command;
    };
    const size_t eight = 4u << 20, one = 32u << 20;  // 32 MiB/s in all either way
    std::vector<Peer> peers = {
        {"tarvane, 8 connections", eight,
         [&](const std::string& url, const fs::path& folder) {
             return std::vector<std::string>{self, "--child", (root / "home").string(), url, folder.string(), "8"};
         }},
        {"aria2c -x8 -s8", eight,
         [](const std::string& url, const fs::path& folder) {
             return std::vector<std::string>{"aria2c",        "-q", "-x8",       "-s8", "-d",
                                             folder.string(), "-o", "aria2.bin", url};
         }},
        {"tarvane, 1 connection", one,
         [&](const std::string& url, const fs::path& folder) {
             return std::vector<std::string>{self, "--child", (root / "home").string(), url, folder.string(), "1"};
         }},
    };
    std::printf("%zu MiB at 32 MiB/s in all, killed %d times, 2-4 s into each run\n", mib, kills);
    std::printf("%-24s %6s %9s %12s %14s %8s\n", "", "kills", "seconds", "MiB again", "s lost a kill", "whole");
    for (const Peer& peer : peers) {
        test::TestSite site;
        site.Add("/game.bin", {.etag = "\"kill\"", .bytesPerSecond = peer.bytesPerSecond, .virtualSize = bytes.size()});
        fs::path folder = root / "out";
        fs::remove_all(folder);
        fs::remove_all(root / "home");
        fs::create_directories(folder);
        fs::path out = folder / (peer.name.starts_with("tarvane") ? "tarvane.bin" : "aria2.bin");
        Result result = KilledRuns(peer.command(site.Url("/game.bin"), folder), moments, site, out, bytes);
        double again = static_cast<double>(result.sent) - static_cast<double>(bytes.size());
        double speed = static_cast<double>(result.sent) / result.seconds;
        std::printf("%-24s %6d %9.1f %12.1f %14.2f %8s\n", peer.name.c_str(), result.kills, result.seconds,
                    again / (1 << 20), result.kills > 0 ? again / result.kills / speed : 0.0,
                    result.exact ? "yes" : "no");
    }
    fs::remove_all(root);
    return 0;
}
