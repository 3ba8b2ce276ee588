#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/link_handoff.h"
#include "platform/process_start.h"

namespace selvik {

// The hand-off record for an address (code page 936): the link alone, no name, no agent, no proxy.
// Nothing when the address does not fit the record's 259 bytes; it is refused rather than cut, since
// a cut address names another page.
std::optional<std::string> HandoffRecordFor(const std::string& address);

// The way to the running tarvane: one attempt to hand over a record, without waiting for a receiver.
class HandoffChannel {
public:
    virtual ~HandoffChannel() = default;
    virtual platform::HandoffResult Send(const std::string& encodedRecord) = 0;
};

// The channel of the running tarvane: its hand-off socket.
class SocketHandoffChannel : public HandoffChannel {
public:
    explicit SocketHandoffChannel(std::string socketPath) : socketPath_(std::move(socketPath)) {}
    platform::HandoffResult Send(const std::string& encodedRecord) override;

private:
    std::string socketPath_;
};

class Waiter {
public:
    virtual ~Waiter() = default;
    virtual void Wait(std::chrono::milliseconds duration) = 0;
};

class SleepingWaiter : public Waiter {
public:
    void Wait(std::chrono::milliseconds duration) override;
};

// A tarvane that was just started needs a moment before it listens: look this often, this many times.
inline constexpr std::chrono::milliseconds kLookInterval{100};
inline constexpr int kLookCount = 100;

enum class DeliveryOutcome {
    Delivered,   // tarvane's handler has returned
    NotStarted,  // nothing listened and tarvane could not be started
    NoReceiver,  // tarvane was started but never listened
    Failed       // the connection broke or tarvane did not answer
};

struct DeliveryPorts {
    HandoffChannel& channel;
    platform::ProcessStarter& starter;
    Waiter& waiter;
};

// Hands a record to the running tarvane. When none listens, starts `tarvaneProgram` (UTF-8 path, no
// arguments) and keeps looking for it. Blocks until the outcome is known.
DeliveryOutcome DeliverLink(const std::string& encodedRecord, const std::string& tarvaneProgram, DeliveryPorts ports);

}  // namespace selvik
