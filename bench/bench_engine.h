#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/file_task.h"
#include "bench/silent_ports.h"
#include "bench/speed.h"
#include "bench/tail_watch.h"
#include "tarvane/core/engine_assembly.h"

namespace bench {

// A fresh program directory under `root` whose config.ini holds `options` (lines of section "options");
// answers it as the engine takes it, ending in "/".
inline std::string FreshHome(const std::filesystem::path& root, const std::string& options) {
    std::filesystem::remove_all(root / "home");
    std::filesystem::create_directories(root / "home");
    std::string dir = (root / "home").string() + "/";
    std::ofstream(dir + "config.ini") << "[options]\nplayAudioCmp=0\n" << options;
    return dir;
}

// tarvane's engine in this process, as the program wires it, on a fresh program directory: the
// settings are the program's own, so whatever the engine reads from them counts as for a user.
class BenchEngine {
public:
    BenchEngine(const std::filesystem::path& root, const std::string& options)
        : engine_(tarvane::EngineSetup{FreshHome(root, options), "127.0.0.1:1", "quellora.localhost", {}},
                  tarvane::EnginePorts{ports_, ports_, ports_}) {
        engine_.files.EnsureTaskFiles(engine_.programDirectory);
        engine_.LoadTasks();
    }

    // Starts the download of `link` into `folder` as `name`, the page being the task's key.
    tarvane::TaskId Add(const std::string& page, const std::string& link, const std::string& name,
                        const std::string& folder) {
        tarvane::TaskId id = engine_.commands.AddTask(FileTask(page, link, name, folder));
        ids_.push_back(id);
        return id;
    }

    bool Running() const { return engine_.scheduler.LiveWorkers() > 0; }

    // The bytes a task holds: all of them once it has left the list of running tasks.
    uint64_t Done(tarvane::TaskId id, uint64_t size) const {
        auto task = engine_.book.Get(id);
        return task ? static_cast<uint64_t>(task->done) : size;
    }
    // The same of every task added, each of `size` bytes.
    uint64_t DoneOfAll(uint64_t size) const {
        uint64_t total = 0;
        for (tarvane::TaskId id : ids_) {
            total += Done(id, size);
        }
        return total;
    }

    const std::vector<tarvane::TaskId>& Ids() const { return ids_; }

private:
    SilentPorts ports_;
    tarvane::EngineAssembly engine_;
    std::vector<tarvane::TaskId> ids_;
};

// One file of `size` bytes from `link` by the engine with `options` in its config.ini, saved as
// `root`/out/tarvane.bin; its count watched for the last 5 %.
inline DownloadTimes EngineDownload(const std::filesystem::path& root, const std::string& link,
                                    const std::string& options, uint64_t size) {
    std::filesystem::remove_all(root / "out");
    std::filesystem::create_directories(root / "out");
    BenchEngine engine(root, options);
    TailWatch watch(size);
    auto start = SteadyClock::now();
    tarvane::TaskId id = engine.Add("page", link, "tarvane", (root / "out").string());
    while (engine.Running()) {
        watch.Sample(engine.Done(id, size));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    DownloadTimes times;
    times.seconds = Since(start);
    times.lastShare = watch.LastShare(times.seconds);
    std::error_code missing;
    if (std::filesystem::file_size(root / "out" / "tarvane.bin", missing) != size) {
        std::fprintf(stderr, "tarvane: wrong size\n");
    }
    return times;
}

}  // namespace bench
