#include "selvik/link_delivery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "selvik/link_sender.h"
#include "tests/selvik/selvik_fakes.h"
#include "tests/support/socket_receiver.h"
#include "tests/support/temp_dir.h"

namespace selvik::test {
namespace {

using platform::HandoffResult;
using namespace std::chrono_literals;

// Answers NoReceiver `absentFor` times, then `then`; records what it was given.
struct ScriptedChannel : HandoffChannel {
    HandoffResult Send(const std::string& encodedRecord) override {
        records.push_back(encodedRecord);
        return static_cast<int>(records.size()) <= absentFor ? HandoffResult::NoReceiver : then;
    }
    int absentFor = 0;
    HandoffResult then = HandoffResult::Delivered;
    std::vector<std::string> records;
};

struct CountingWaiter : Waiter {
    void Wait(std::chrono::milliseconds duration) override { waits.push_back(duration); }
    std::vector<std::chrono::milliseconds> waits;
};

// A running tarvane takes the record at once; otherwise tarvane is started and looked for every 100 ms
// for up to 10 s. A failed start or a broken connection ends the delivery: the link is not sent again.
TEST(LinkDelivery, StartsTarvaneWhenNoneListensAndLooksForItForTenSeconds) {
    struct Case {
        int absentFor;
        HandoffResult then;
        bool startWorks;
        DeliveryOutcome outcome;
        std::size_t starts;
        std::size_t waits;
    };
    const Case cases[] = {
        {0, HandoffResult::Delivered, true, DeliveryOutcome::Delivered, 0, 0},
        // Listening after 3.1 s: long past a single look at 500 ms.
        {31, HandoffResult::Delivered, true, DeliveryOutcome::Delivered, 1, 31},
        {1000, HandoffResult::Delivered, true, DeliveryOutcome::NoReceiver, 1, 100},
        {1000, HandoffResult::Delivered, false, DeliveryOutcome::NotStarted, 1, 0},
        {5, HandoffResult::Failed, true, DeliveryOutcome::Failed, 1, 5},
    };
    std::string record = HandoffRecordFor("http://game.test/game/2.htm").value();
    for (const Case& c : cases) {
        ScriptedChannel channel;
        channel.absentFor = c.absentFor;
        channel.then = c.then;
        RecordingStarter starter;
        starter.result = c.startWorks;
        CountingWaiter waiter;
        EXPECT_EQ(DeliverLink(record, "/opt/游戏/tarvane", {channel, starter, waiter}), c.outcome) << c.absentFor;
        EXPECT_EQ(waiter.waits, std::vector<std::chrono::milliseconds>(c.waits, 100ms)) << c.absentFor;
        EXPECT_EQ(channel.records, std::vector<std::string>(c.waits + 1, record)) << c.absentFor;
        auto started = starter.Started();
        ASSERT_EQ(started.size(), c.starts) << c.absentFor;
        for (const auto& [program, arguments] : started) {
            EXPECT_EQ(program, "/opt/游戏/tarvane");
            EXPECT_TRUE(arguments.empty());
        }
    }
}

// A tarvane that listens only after 1.5 s still gets the record, as one copy-data message with dwData 0.
TEST(LinkDelivery, SlowStartingReceiverOnTheSocketGetsTheRecord) {
    tarvane::test::TempDir dir;
    std::string record = HandoffRecordFor("http://game.test/game/1102.htm").value();
    std::unique_ptr<tarvane::test::SocketReceiver> receiver;
    RecordingStarter starter;
    starter.onStart = [&] { receiver = std::make_unique<tarvane::test::SocketReceiver>(dir.File("Quellora"), 1500ms); };
    SocketHandoffChannel channel(dir.File("Quellora"));
    SleepingWaiter waiter;
    EXPECT_EQ(DeliverLink(record, "tarvane", {channel, starter, waiter}), DeliveryOutcome::Delivered);
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(receiver->Finish(),
              platform::EncodeHandoffMessage(platform::HandoffMessage::CopyData, platform::CopyDataPayload(0, record)));
}

TEST(LinkDelivery, BackgroundSenderDeliversInOrderOneAtATimeAndFinishesBeforeItEnds) {
    std::mutex mutex;
    std::vector<std::string> delivered;
    std::atomic<int> active{0};
    std::atomic<bool> overlapped{false};
    {
        BackgroundLinkSender sender([&](const std::string& record) {
            overlapped = ++active > 1 || overlapped;
            std::this_thread::sleep_for(20ms);
            std::lock_guard lock(mutex);
            delivered.push_back(record);
            --active;
        });
        for (int i = 0; i < 5; ++i) {
            sender.Send("record " + std::to_string(i));
        }
    }
    EXPECT_EQ(delivered, (std::vector<std::string>{"record 0", "record 1", "record 2", "record 3", "record 4"}));
    EXPECT_FALSE(overlapped);
}

}  // namespace
}  // namespace selvik::test
