#include "tests/support/child_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace tarvane::test {

namespace {

// A port on 127.0.0.1 that nothing listens on at the moment of the call.
int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// Whether something answers HTTP on 127.0.0.1:port.
bool AcceptsConnections(int port) {
    return static_cast<bool>(httplib::Client("127.0.0.1", port).Get("/"));
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
    pid_ = StartChild({"tinyproxy", "-d", "-c", config});  // -d: in the foreground
    // Bounded wait for the proxy to listen, unless it ends first.
    bool listening = false;
    for (int attempt = 0; pid_ > 0 && attempt < 100 && !(listening = AcceptsConnections(port_)); ++attempt) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (pid_ > 0 && !listening) {
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
