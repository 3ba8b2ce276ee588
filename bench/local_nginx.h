#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bench/quiet_process.h"

namespace bench {

// A server block on 127.0.0.1 serving `www`, with `directives` (such as a limit_rate) inside.
inline std::string NginxServer(int port, const std::filesystem::path& www, const std::string& directives = "") {
    return "  server { listen 127.0.0.1:" + std::to_string(port) + "; root " + www.string() + "; " + directives +
           " }\n";
}

// One nginx in the foreground under `root`, with `http` (server blocks, maps) in its http block; every
// request's sent bytes are logged one a line when it ends. Stopped when it goes.
class LocalNginx {
public:
    LocalNginx(const std::filesystem::path& root, const std::string& http) : log_(root / "sent.log") {
        std::ofstream(root / "nginx.conf")
            << "daemon off; master_process off; worker_processes 1; user root;\npid " << (root / "nginx.pid").string()
            << ";\nerror_log " << (root / "error.log").string()
            << ";\nevents { worker_connections 512; }\nhttp { log_format sent '$bytes_sent'; access_log "
            << log_.string() << " sent; sendfile on; tcp_nopush on;\n"
            << http << "}\n";
        pid_ = SpawnQuiet({"nginx", "-c", (root / "nginx.conf").string()});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ~LocalNginx() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    LocalNginx(const LocalNginx&) = delete;
    LocalNginx& operator=(const LocalNginx&) = delete;

    bool Started() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

    void EmptyLog() { std::ofstream(log_, std::ios::trunc).close(); }
    // The bytes sent since the log was last emptied, once the last requests have been logged.
    uint64_t SentBytes() const {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::ifstream in(log_);
        uint64_t total = 0, bytes = 0;
        while (in >> bytes) {
            total += bytes;
        }
        return total;
    }

private:
    std::filesystem::path log_;
    pid_t pid_ = -1;
};

}  // namespace bench
