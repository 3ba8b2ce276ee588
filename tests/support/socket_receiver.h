#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

#include "platform/unique_fd.h"

namespace tarvane::test {

// A stand-in for a running tarvane on its handoff socket: listens on `path` after `delay` (at once
// when zero), takes one message, spends `handlerTime` on it, then acknowledges it or holds the
// connection without an answer.
class SocketReceiver {
public:
    explicit SocketReceiver(std::string path, std::chrono::milliseconds delay = {},
                            std::chrono::milliseconds handlerTime = {}, bool answer = true);
    ~SocketReceiver() { Finish(); }
    SocketReceiver(const SocketReceiver&) = delete;
    SocketReceiver& operator=(const SocketReceiver&) = delete;

    // The message as it arrived, once the receiver is done.
    const std::string& Finish();
    // The length field of a message's header.
    static std::size_t Length(const std::string& message);

    std::atomic<bool> handled{false};

private:
    bool Listen();
    void Serve(std::chrono::milliseconds handlerTime, bool answer);

    std::string path_;
    platform::UniqueFd fd_;
    std::string message_;
    std::thread thread_;
};

}  // namespace tarvane::test
