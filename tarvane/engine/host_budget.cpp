#include "tarvane/engine/host_budget.h"

#include <algorithm>
#include <cctype>

#include "platform/url_parse.h"

namespace tarvane {

namespace {
// A refusal this recent means the task still asks for more.
constexpr double kWantMs = 1000;
// What a budget setting out of its range is taken as.
constexpr int kFewest = 1;
constexpr int kMost = 32;
}  // namespace

HostBudget::HostBudget(const Clock& clock, int perHost) : clock_(clock), perHost_(perHost) {}

void HostBudget::SetPerHost(int perHost) {
    std::lock_guard lock(mutex_);
    perHost_ = perHost;
}

HostBudget::TicketId HostBudget::Join(const std::string& host) {
    std::lock_guard lock(mutex_);
    TicketId id = nextId_++;
    tickets_[id].host = host;
    return id;
}

void HostBudget::Leave(TicketId ticket) {
    std::lock_guard lock(mutex_);
    tickets_.erase(ticket);
}

int HostBudget::PerHost() const {
    return std::clamp(perHost_, kFewest, kMost);
}

int HostBudget::HostHeld(const std::string& host) const {
    int held = 0;
    for (const auto& [id, ticket] : tickets_) {
        held += ticket.host == host ? ticket.held : 0;
    }
    return held;
}

int HostBudget::Part(const std::string& host) const {
    auto tasks = std::count_if(tickets_.begin(), tickets_.end(), [&](const auto& t) { return t.second.host == host; });
    return std::max(1, PerHost() / static_cast<int>(std::max<std::ptrdiff_t>(tasks, 1)));
}

bool HostBudget::Wants(const Ticket& ticket, double now) {
    return now - ticket.deniedAtMs < kWantMs;
}

bool HostBudget::OtherWaits(TicketId self, const Ticket& ticket, int below, double now) const {
    return std::any_of(tickets_.begin(), tickets_.end(), [&](const auto& entry) {
        const auto& [id, other] = entry;
        return id != self && other.host == ticket.host && other.held < below && Wants(other, now);
    });
}

bool HostBudget::WaitedLonger(TicketId self, const Ticket& ticket, double now) const {
    return std::any_of(tickets_.begin(), tickets_.end(), [&](const auto& entry) {
        const auto& [id, other] = entry;
        return id != self && other.host == ticket.host && other.held == 0 && Wants(other, now) &&
               other.waitingSinceMs >= 0 && (ticket.waitingSinceMs < 0 || other.waitingSinceMs < ticket.waitingSinceMs);
    });
}

bool HostBudget::TryTake(TicketId id) {
    std::lock_guard lock(mutex_);
    auto found = tickets_.find(id);
    if (found == tickets_.end()) {
        return false;
    }
    Ticket& ticket = found->second;
    double now = clock_.NowMs();
    bool allowed = HostHeld(ticket.host) < PerHost();
    if (allowed && ticket.held == 0) {
        // Tasks without a connection get one in the order they began to wait.
        allowed = !WaitedLonger(id, ticket, now);
    } else if (allowed) {
        int part = Part(ticket.host);
        allowed = ticket.held < part || !OtherWaits(id, ticket, part, now);
    }
    if (!allowed) {
        ticket.deniedAtMs = now;
        if (ticket.held == 0 && ticket.waitingSinceMs < 0) {
            ticket.waitingSinceMs = now;
        }
        return false;
    }
    if (ticket.held++ == 0) {
        ticket.heldSinceMs = now;
        ticket.waitingSinceMs = -1;
    }
    return true;
}

void HostBudget::Give(TicketId id) {
    std::lock_guard lock(mutex_);
    if (auto found = tickets_.find(id); found != tickets_.end() && found->second.held > 0) {
        --found->second.held;
    }
}

bool HostBudget::ShouldGiveBack(TicketId id) {
    std::lock_guard lock(mutex_);
    auto found = tickets_.find(id);
    if (found == tickets_.end() || found->second.held == 0) {
        return false;
    }
    const Ticket& ticket = found->second;
    double now = clock_.NowMs();
    int part = Part(ticket.host);
    if (ticket.held > part && (OtherWaits(id, ticket, part, now) || HostHeld(ticket.host) > PerHost())) {
        return true;
    }
    // More tasks than connections: the only connection passes on after a turn.
    return ticket.held == 1 && now - ticket.heldSinceMs >= kTurnMs && OtherWaits(id, ticket, 1, now);
}

std::string HostKey(std::string_view link) {
    auto parsed = platform::ParseUrl(link);
    if (!parsed) {
        return std::string(link);
    }
    std::string server = parsed->server;
    std::transform(server.begin(), server.end(), server.begin(), [](unsigned char c) { return std::tolower(c); });
    return server + ":" + std::to_string(parsed->port);
}

int HostBudget::Held(const std::string& host) const {
    std::lock_guard lock(mutex_);
    return HostHeld(host);
}

}  // namespace tarvane
