// A 200 MB download from a local server that drops the connection every 20 MB and stalls once:
// tarvane with its program settings against curl --retry 5 -C - and aria2c --max-tries=5, in one run.
//   recovery_bench [MiB] [MiB between drops] [seconds of the stall]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>

#include <curl/curl.h>

#include "bench/file_task.h"
#include "bench/quiet_process.h"
#include "bench/silent_ports.h"
#include "tarvane/core/engine_assembly.h"
#include "tests/support/test_site.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace tarvane;
using SteadyClock = std::chrono::steady_clock;

namespace {

using Silent = bench::SilentPorts;

// Every answer is cut after `cut` bytes; the third one stalls there first.
std::vector<test::TestSite::Answer> Script(const std::string& bytes, size_t cut, std::chrono::seconds stall) {
    std::vector<test::TestSite::Answer> script;
    for (size_t i = 0; i < bytes.size() / cut + 4; ++i) {
        script.push_back({bytes, "\"bench\"", 200, cut, i == 2, stall});
    }
    script.push_back({bytes, "\"bench\""});
    return script;
}

int Run(std::vector<std::string> args) {
    pid_t pid = bench::SpawnQuiet(std::move(args));
    if (pid < 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// tarvane's engine with the program's stall time and waits; answers whether the task completed.
bool EngineRun(const fs::path& home, const std::string& link, const fs::path& folder) {
    fs::create_directories(home);
    std::string dir = home.string() + "/";
    std::ofstream(dir + "config.ini") << "[options]\nplayAudioCmp=0\n";
    Silent ports;
    EngineAssembly engine(EngineSetup{dir, "127.0.0.1:1", "quellora.localhost", {}}, EnginePorts{ports, ports, ports});
    engine.files.EnsureTaskFiles(dir);
    engine.LoadTasks();
    engine.commands.AddTask(bench::FileTask("page", link, "tarvane", folder.string()));
    while (engine.scheduler.LiveWorkers() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return engine.LocatePage("page") == kPageCompleted;
}

}  // namespace

int main(int argc, char** argv) {
    size_t mib = argc > 1 ? std::stoul(argv[1]) : 200;
    size_t cutMiB = argc > 2 ? std::stoul(argv[2]) : 20;
    std::chrono::seconds stall(argc > 3 ? std::stol(argv[3]) : 70);
    curl_global_init(CURL_GLOBAL_ALL);
    std::string bytes = test::MakeFileBytes(mib << 20, 42);
    char pattern[] = "/tmp/tarvane-recovery-XXXXXX";
    fs::path root = mkdtemp(pattern);

    struct Peer {
        const char* name;
        std::function<bool(const std::string& url, const fs::path& out)> run;
    };
    std::vector<Peer> peers = {
        {"tarvane",
         [&](const std::string& url, const fs::path& out) {
             return EngineRun(root / "home", url, out.parent_path()) && fs::exists(out.parent_path() / "tarvane.bin");
         }},
        {"curl --retry 5 -C -",
         [](const std::string& url, const fs::path& out) {
             return Run({"curl", "-s", "--retry", "5", "-C", "-", "-o", out.string(), url}) == 0;
         }},
        {"aria2c --max-tries=5",
         [](const std::string& url, const fs::path& out) {
             return Run({"aria2c", "-q", "--max-tries=5", "--file-allocation=none", "--allow-overwrite=true", "-d",
                         out.parent_path().string(), "-o", out.filename().string(), url}) == 0;
         }},
    };
    std::printf("%zu MiB, cut every %zu MiB, one stall of %lld s (tarvane: 60 s stall time, waits 2-32 s)\n", mib,
                cutMiB, static_cast<long long>(stall.count()));
    for (const Peer& peer : peers) {
        test::TestSite site;  // a fresh script for every peer
        site.AddScriptedFile("/game.bin", Script(bytes, cutMiB << 20, stall));
        fs::path folder = root / "out";
        fs::remove_all(folder);
        fs::remove_all(root / "home");
        fs::create_directories(folder);
        fs::path out = folder / (std::string(peer.name).starts_with("tarvane") ? "tarvane.bin" : "peer.bin");
        auto start = SteadyClock::now();
        bool finished = peer.run(site.Url("/game.bin"), out);
        double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        bool exact = fs::exists(out) && ReadAll(out) == bytes;
        std::printf("%-22s %7.1f s  finished: %-3s  byte for byte: %s  requests: %d\n", peer.name, seconds,
                    finished ? "yes" : "no", exact ? "yes" : "no", site.RequestCount("/game.bin"));
        site.ReleaseStalls();
    }
    fs::remove_all(root);
    return 0;
}
