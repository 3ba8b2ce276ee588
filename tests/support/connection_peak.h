#pragma once

#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace tarvane::test {

// The TCP connections established to a local IPv4 port right now, by the client's port, as the
// clients' sides see them: those the server took and those still waiting in its backlog alike. A
// connection is gone from here the moment its client closes it, however late the kernel of a busy
// machine delivers that end to the server's side.
inline std::set<int> PeersOf(int port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    // The table is read in pieces while sockets come and go: one may be listed twice.
    std::set<int> peers;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        auto colon = local.rfind(':'), remoteColon = remote.rfind(':');
        if (state == "01" && colon != std::string::npos && remoteColon != std::string::npos &&
            std::stoi(remote.substr(remoteColon + 1), nullptr, 16) == port) {
            peers.insert(std::stoi(local.substr(colon + 1), nullptr, 16));
        }
    }
    return peers;
}

inline int ConnectionsTo(int port) {
    return static_cast<int>(PeersOf(port).size());
}

// The most connections a local port held at once while this lives, polled on a thread of its own.
class ConnectionPeak {
public:
    explicit ConnectionPeak(int port)
        : poller_([this, port] {
              while (!stop_) {
                  int now = ConnectionsTo(port);
                  peak_ = std::max(peak_.load(), now);
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~ConnectionPeak() { Stop(); }
    ConnectionPeak(const ConnectionPeak&) = delete;
    ConnectionPeak& operator=(const ConnectionPeak&) = delete;

    // Stops polling and answers the peak.
    int Stop() {
        stop_ = true;
        if (poller_.joinable()) {
            poller_.join();
        }
        return peak_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> peak_{0};
    std::thread poller_;
};

}  // namespace tarvane::test
