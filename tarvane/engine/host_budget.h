#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "tarvane/engine/clock.h"

namespace tarvane {

// One budget of connections per host, shared by every task that fetches from it, so that twenty
// tasks from one mirror never open more connections than it would like. Tasks of one host get equal
// parts: a task that holds more than its part gives connections back while another waits below its
// part, and when there are more tasks than connections, a task's only connection passes to a task
// that has none after a turn. Any thread.
class HostBudget {
public:
    using TicketId = int;

    HostBudget(const Clock& clock, int perHost);

    // A change holds at once: tasks beyond their part give connections back.
    void SetPerHost(int perHost);

    TicketId Join(const std::string& host);
    void Leave(TicketId ticket);  // gives back what the ticket holds

    // One more connection for the ticket: false while the host's budget is spent, or another task
    // of the host waits below its part and this one has its part already.
    bool TryTake(TicketId ticket);
    void Give(TicketId ticket);
    // Whether the ticket should close one of its connections now, for a task that waits.
    bool ShouldGiveBack(TicketId ticket);

    int Held(const std::string& host) const;

    // How long a task keeps its only connection while another task of the host has none.
    static constexpr double kTurnMs = 10000;

private:
    struct Ticket {
        std::string host;
        int held = 0;
        double deniedAtMs = -1e18;   // last refused: it wants more
        double waitingSinceMs = -1;  // first refused while it held none; -1 while it holds some
        double heldSinceMs = 0;      // when its held count last rose from 0
    };
    int PerHost() const;
    // The connections each task of `host` may count on: the budget over the tasks, at least one.
    int Part(const std::string& host) const;
    int HostHeld(const std::string& host) const;
    static bool Wants(const Ticket& ticket, double now);
    // Another ticket of `ticket`'s host that wants more while it holds fewer than `below`.
    bool OtherWaits(TicketId self, const Ticket& ticket, int below, double now) const;
    // A ticket without connections that has waited longer than `ticket` for one.
    bool WaitedLonger(TicketId self, const Ticket& ticket, double now) const;

    const Clock& clock_;
    int perHost_;
    mutable std::mutex mutex_;
    TicketId nextId_ = 1;
    std::map<TicketId, Ticket> tickets_;
};

// The budget's name for the host of a link: its server in lower case and its port.
std::string HostKey(std::string_view link);

// A transfer's place in its host's budget, from its start to its end; without a budget, every
// question is answered yes.
class HostShare {
public:
    HostShare(HostBudget* budget, const std::string& host)
        : budget_(budget), ticket_(budget != nullptr ? budget->Join(host) : 0) {}
    ~HostShare() {
        if (budget_ != nullptr) {
            budget_->Leave(ticket_);
        }
    }
    HostShare(const HostShare&) = delete;
    HostShare& operator=(const HostShare&) = delete;

    bool TryTake() { return budget_ == nullptr || budget_->TryTake(ticket_); }
    void Give() {
        if (budget_ != nullptr) {
            budget_->Give(ticket_);
        }
    }
    bool ShouldGiveBack() { return budget_ != nullptr && budget_->ShouldGiveBack(ticket_); }

private:
    HostBudget* budget_;
    HostBudget::TicketId ticket_;
};

}  // namespace tarvane
