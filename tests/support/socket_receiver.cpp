#include "tests/support/socket_receiver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "platform/link_handoff.h"

namespace tarvane::test {

SocketReceiver::SocketReceiver(std::string path, std::chrono::milliseconds delay, std::chrono::milliseconds handlerTime,
                               bool answer)
    : path_(std::move(path)) {
    // Without a delay the socket is there before the constructor returns, so a sender cannot miss it.
    const bool listening = delay.count() == 0 && Listen();
    thread_ = std::thread([this, delay, handlerTime, answer, listening] {
        if (listening || (std::this_thread::sleep_for(delay), Listen())) {
            Serve(handlerTime, answer);
        }
    });
}

const std::string& SocketReceiver::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    fd_.Close();
    return message_;
}

std::size_t SocketReceiver::Length(const std::string& message) {
    std::size_t length = 0;
    for (std::size_t i = 4; i >= 1 && i < message.size(); --i) {
        length = (length << 8) | static_cast<unsigned char>(message[i]);
    }
    return length;
}

bool SocketReceiver::Listen() {
    fd_ = platform::UniqueFd(socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    return bind(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && listen(fd_.get(), 4) == 0;
}

void SocketReceiver::Serve(std::chrono::milliseconds handlerTime, bool answer) {
    pollfd waiting{fd_.get(), POLLIN, 0};
    if (poll(&waiting, 1, 15000) != 1) {
        return;
    }
    const platform::UniqueFd client(accept(fd_.get(), nullptr, nullptr));
    char buffer[1024];
    pollfd reading{client.get(), POLLIN, 0};
    while (message_.size() < platform::kHandoffHeaderSize + Length(message_) && poll(&reading, 1, 5000) == 1) {
        const ssize_t got = recv(client.get(), buffer, sizeof(buffer), 0);
        if (got <= 0) {
            break;
        }
        message_.append(buffer, static_cast<std::size_t>(got));
    }
    std::this_thread::sleep_for(handlerTime);
    handled = true;
    if (answer) {
        const char ack = static_cast<char>(platform::kHandoffAck);
        [[maybe_unused]] auto sent = send(client.get(), &ack, 1, MSG_NOSIGNAL);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
}

}  // namespace tarvane::test
