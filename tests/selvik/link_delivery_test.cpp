#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "selvik/link_delivery.h"
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

std::string Record(const std::string& link) {
    return HandoffRecordFor(link).value();
}

TEST(LinkDelivery, RunningTarvaneTakesTheRecordWithoutAStart) {
    ScriptedChannel channel;
    RecordingStarter starter;
    CountingWaiter waiter;
    std::string record = Record("http://game.test/game/1.htm");
    EXPECT_EQ(DeliverLink(record, "/opt/games/tarvane", {channel, starter, waiter}), DeliveryOutcome::Delivered);
    EXPECT_EQ(channel.records, std::vector<std::string>{record});
    EXPECT_TRUE(starter.Started().empty());
    EXPECT_TRUE(waiter.waits.empty());
}

TEST(LinkDelivery, StartsTarvaneAndLooksEvery100MillisecondsForUpTo10Seconds) {
    std::string record = Record("http://game.test/game/2.htm");
    {
        // Listening after 3.1 s: long past a single look at 500 ms, and still delivered.
        ScriptedChannel channel;
        channel.absentFor = 31;
        RecordingStarter starter;
        CountingWaiter waiter;
        EXPECT_EQ(DeliverLink(record, "/opt/游戏/tarvane", {channel, starter, waiter}), DeliveryOutcome::Delivered);
        auto started = starter.Started();
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0].program, "/opt/游戏/tarvane");
        EXPECT_TRUE(started[0].arguments.empty());
        EXPECT_EQ(waiter.waits, std::vector<std::chrono::milliseconds>(31, 100ms));
        EXPECT_EQ(channel.records, std::vector<std::string>(32, record));
    }
    {
        // Never listening: 10 s of looking, then the link is given up silently.
        ScriptedChannel channel;
        channel.absentFor = 1000;
        RecordingStarter starter;
        CountingWaiter waiter;
        EXPECT_EQ(DeliverLink(record, "/opt/games/tarvane", {channel, starter, waiter}), DeliveryOutcome::NoReceiver);
        EXPECT_EQ(starter.Started().size(), 1u);
        EXPECT_EQ(waiter.waits, std::vector<std::chrono::milliseconds>(100, 100ms));
        EXPECT_EQ(channel.records.size(), 101u);
    }
}

TEST(LinkDelivery, FailedStartOrBrokenConnectionEndsTheDelivery) {
    std::string record = Record("http://game.test/game/3.htm");
    {
        ScriptedChannel channel;
        channel.absentFor = 1000;
        RecordingStarter starter;
        starter.result = false;
        CountingWaiter waiter;
        EXPECT_EQ(DeliverLink(record, "/opt/games/tarvane", {channel, starter, waiter}), DeliveryOutcome::NotStarted);
        EXPECT_EQ(channel.records.size(), 1u);
        EXPECT_TRUE(waiter.waits.empty());
    }
    {
        // A receiver that takes the connection and breaks it is not sent the link a second time.
        ScriptedChannel channel;
        channel.absentFor = 5;
        channel.then = HandoffResult::Failed;
        RecordingStarter starter;
        CountingWaiter waiter;
        EXPECT_EQ(DeliverLink(record, "/opt/games/tarvane", {channel, starter, waiter}), DeliveryOutcome::Failed);
        EXPECT_EQ(channel.records.size(), 6u);
    }
}

TEST(LinkDelivery, SlowStartingReceiverOnTheSocketGetsTheRecord) {
    tarvane::test::TempDir dir;
    std::string socketPath = dir.File("Quellora");
    std::string record = Record("http://game.test/game/1102.htm");
    std::unique_ptr<tarvane::test::SocketReceiver> receiver;
    RecordingStarter starter;
    starter.onStart = [&] { receiver = std::make_unique<tarvane::test::SocketReceiver>(socketPath, 1500ms); };
    SocketHandoffChannel channel(socketPath);
    SleepingWaiter waiter;

    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(DeliverLink(record, "tarvane", {channel, starter, waiter}), DeliveryOutcome::Delivered);
    EXPECT_GE(std::chrono::steady_clock::now() - begun, 1500ms);
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(starter.Started().size(), 1u);
    // One copy-data message with dwData 0 and the record unchanged.
    std::string expected =
        platform::EncodeHandoffMessage(platform::HandoffMessage::CopyData, platform::CopyDataPayload(0, record));
    EXPECT_EQ(receiver->Finish(), expected);
}

TEST(LinkDelivery, BackgroundSenderDeliversInOrderOneAtATimeAndFinishesBeforeItEnds) {
    std::mutex mutex;
    std::vector<std::string> delivered;
    std::atomic<int> active{0};
    std::atomic<int> mostActive{0};
    {
        BackgroundLinkSender sender([&](const std::string& record) {
            int now = ++active;
            mostActive = std::max(mostActive.load(), now);
            std::this_thread::sleep_for(20ms);
            {
                std::lock_guard lock(mutex);
                delivered.push_back(record);
            }
            --active;
        });
        for (int i = 0; i < 5; ++i) {
            sender.Send("record " + std::to_string(i));
        }
    }
    EXPECT_EQ(delivered, (std::vector<std::string>{"record 0", "record 1", "record 2", "record 3", "record 4"}));
    EXPECT_EQ(mostActive.load(), 1);
}

}  // namespace
}  // namespace selvik::test
