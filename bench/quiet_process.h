#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bench {

// Starts a peer program (found on the PATH) with its output thrown away; -1 when it cannot start.
inline pid_t SpawnQuiet(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

// Runs a peer to its end, calling `watch` with its pid every few milliseconds meanwhile; answers the
// seconds it ran, or -1 when it could not start.
inline double RunWatched(std::vector<std::string> args, const std::function<void(pid_t)>& watch) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = SpawnQuiet(std::move(args));
    if (pid < 0) {
        return -1;
    }
    while (waitpid(pid, nullptr, WNOHANG) != pid) {
        watch(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a peer to its end, or for `limit` seconds when one is given; answers the seconds it ran.
inline double RunPeer(std::vector<std::string> args, double limit = 0) {
    auto start = std::chrono::steady_clock::now();
    auto deadline = start + std::chrono::duration<double>(limit);
    return RunWatched(std::move(args), [&](pid_t pid) {
        if (limit > 0 && std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
        }
    });
}

// The bytes a running peer has written so far: for a download that keeps no cache, the bytes it has
// received (what it reads from sockets is not counted); 0 once it is gone.
inline uint64_t BytesWritten(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") {
            return value;
        }
    }
    return 0;
}

}  // namespace bench
