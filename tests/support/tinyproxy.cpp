#include "tests/support/tinyproxy.h"

#include <arpa/inet.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/unique_fd.h"

extern char** environ;

namespace tarvane::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int FreeLoopbackPort() {
    platform::UniqueFd fd(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    return bind(fd.get(), raw, length) == 0 && getsockname(fd.get(), raw, &length) == 0 ? ntohs(address.sin_port) : 0;
}

bool AcceptsConnections(int port) {
    platform::UniqueFd fd(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = Loopback(port);
    return connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

TinyProxy::TinyProxy(const std::string& user, const std::string& password) : port_(FreeLoopbackPort()) {
    std::string config = dir_.File("tinyproxy.conf");
    WriteFile(config, "Port " + std::to_string(port_) +
                          "\nListen 127.0.0.1\nTimeout 30\nMaxClients 64\nLogLevel Critical\nAllow 127.0.0.1\n"
                          "DisableViaHeader Yes\nBasicAuth " +
                          user + " " + password + "\n");
    std::string program = "tinyproxy", foreground = "-d", configFlag = "-c";
    char* argv[] = {program.data(), foreground.data(), configFlag.data(), config.data(), nullptr};
    if (posix_spawnp(&pid_, "tinyproxy", nullptr, nullptr, argv, environ) != 0) {
        pid_ = -1;
        return;
    }
    // Bounded wait for the proxy to listen.
    for (int attempt = 0; attempt < 100 && !AcceptsConnections(port_); ++attempt) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!AcceptsConnections(port_)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

TinyProxy::~TinyProxy() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

}  // namespace tarvane::test
