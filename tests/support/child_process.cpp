#include "tests/support/child_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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

// A port on 127.0.0.1 that nothing listens on at the moment of the call.
int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// Whether something accepts connections on 127.0.0.1:port.
bool AcceptsConnections(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(port);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace

pid_t StartChild(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

int WaitChild(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TinyProxy::TinyProxy(const std::string& user, const std::string& password) {
    port_ = FreeLoopbackPort();
    std::string config = dir_.File("tinyproxy.conf");
    WriteFile(config, "Port " + std::to_string(port_) +
                          "\n"
                          "Listen 127.0.0.1\n"
                          "Timeout 30\n"
                          "MaxClients 64\n"
                          "LogLevel Critical\n"
                          "Allow 127.0.0.1\n"
                          "DisableViaHeader Yes\n"
                          "BasicAuth " +
                          user + " " + password + "\n");
    pid_t pid = StartChild({"tinyproxy", "-d", "-c", config});  // -d: in the foreground
    if (pid < 0) {
        return;
    }
    pid_ = pid;
    // Bounded wait for the proxy to listen.
    for (int attempt = 0; attempt < 100 && !AcceptsConnections(port_); ++attempt) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!AcceptsConnections(port_)) {
        kill(pid_, SIGKILL);
        WaitChild(pid_);
        pid_ = -1;
    }
}

TinyProxy::~TinyProxy() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        WaitChild(pid_);
    }
}

}  // namespace tarvane::test
