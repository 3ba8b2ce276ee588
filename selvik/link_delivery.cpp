#include "selvik/link_delivery.h"

#include <thread>

namespace selvik {

std::optional<std::string> HandoffRecordFor(const std::string& address) {
    platform::LinkHandoffRecord record;
    record.link = address;
    return platform::EncodeLinkHandoff(record);
}

platform::HandoffResult SocketHandoffChannel::Send(const std::string& encodedRecord) {
    // No connect wait here: the looking for a starting tarvane is DeliverLink's.
    return platform::SendLinkHandoff(socketPath_, encodedRecord, platform::HandoffTiming{});
}

void SleepingWaiter::Wait(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

namespace {

DeliveryOutcome OutcomeOf(platform::HandoffResult result) {
    switch (result) {
        case platform::HandoffResult::Delivered:
            return DeliveryOutcome::Delivered;
        case platform::HandoffResult::NoReceiver:
            return DeliveryOutcome::NoReceiver;
        case platform::HandoffResult::Failed:
            break;
    }
    return DeliveryOutcome::Failed;
}

}  // namespace

DeliveryOutcome DeliverLink(const std::string& encodedRecord, const std::string& tarvaneProgram, DeliveryPorts ports) {
    platform::HandoffResult result = ports.channel.Send(encodedRecord);
    if (result != platform::HandoffResult::NoReceiver) {
        return OutcomeOf(result);
    }
    if (!ports.starter.Start(tarvaneProgram, {})) {
        return DeliveryOutcome::NotStarted;
    }
    for (int look = 0; look < kLookCount; ++look) {
        ports.waiter.Wait(kLookInterval);
        result = ports.channel.Send(encodedRecord);
        if (result != platform::HandoffResult::NoReceiver) {
            break;
        }
    }
    return OutcomeOf(result);
}

}  // namespace selvik
