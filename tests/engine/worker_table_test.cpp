#include "tarvane/engine/worker_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/memory_list_view.h"

namespace tarvane {
namespace {

class WorkerTableTest : public ::testing::Test {
protected:
    TaskLaunch Launch(RowKey key) {
        TaskLaunch launch;
        launch.key = key;
        launch.name = "task" + std::to_string(key);
        launch.listView = &list_;
        return launch;
    }

    std::vector<RowKey> DrainQueue() {
        std::vector<RowKey> keys;
        while (auto launch = tables_->TakeNextWaiting()) {
            EXPECT_EQ(launch->name, "task" + std::to_string(launch->key));
            EXPECT_EQ(launch->listView, &list_);
            keys.push_back(launch->key);
        }
        return keys;
    }

    test::MemoryListView list_;
    std::unique_ptr<TaskTables> tables_ = std::make_unique<TaskTables>();
    WorkerControl a_, b_;
};

TEST_F(WorkerTableTest, TwentySlotsOneWorkerATask) {
    WorkerControl workers[kWorkerSlotCount];
    for (int i = 0; i < kWorkerSlotCount; ++i) {
        ASSERT_TRUE(tables_->RegisterWorker(&workers[i], 100 + i));
    }
    WorkerControl extra;
    EXPECT_FALSE(tables_->RegisterWorker(&extra, 99));
    EXPECT_TRUE(tables_->ReleaseWorker(&workers[0]));
    EXPECT_TRUE(tables_->ReleaseWorker(&workers[10]));
    EXPECT_FALSE(tables_->ReleaseWorker(&workers[10]));
    EXPECT_EQ(tables_->RunningCount(), kWorkerSlotCount - 2);
    // A task that has a worker never gets a second one.
    EXPECT_FALSE(tables_->RegisterWorker(&extra, 105));
    EXPECT_TRUE(tables_->RegisterWorker(&extra, 110));
    EXPECT_TRUE(tables_->HasWorker(119));
    EXPECT_FALSE(tables_->HasWorker(100));
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, PauseStateAndForgottenRowsFollowTheKey) {
    tables_->RegisterWorker(&a_, 3);
    tables_->RegisterWorker(&b_, 5);
    b_.state = kStateDownloading;
    ASSERT_TRUE(tables_->Enqueue(Launch(7)));

    EXPECT_FALSE(tables_->RequestPause(4));
    EXPECT_TRUE(tables_->RequestPause(5));
    EXPECT_EQ(b_.pauseRequested.load(), 1);
    EXPECT_EQ(a_.pauseRequested.load(), 0);
    EXPECT_EQ(tables_->WorkerStateOf(5), kStateDownloading);
    EXPECT_EQ(tables_->WorkerStateOf(4), std::nullopt);

    // A deleted row: its worker is asked to stop and loses its key, its waiting entry goes.
    tables_->Forget(3);
    tables_->Forget(7);
    EXPECT_EQ(a_.pauseRequested.load(), 1);
    EXPECT_FALSE(tables_->WorkerListed(&a_));
    EXPECT_TRUE(tables_->WorkerListed(&b_));
    EXPECT_FALSE(tables_->HasWorker(3));
    EXPECT_FALSE(tables_->IsWaiting(7));
    EXPECT_TRUE(tables_->AnyWorkerRunning());
    EXPECT_FALSE(tables_->ReleaseWorker(&a_));
    EXPECT_TRUE(tables_->ReleaseWorker(&b_));
    EXPECT_FALSE(tables_->AnyWorkerRunning());
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, OneWriterADataFile) {
    tables_->RegisterWorker(&a_, 1);
    tables_->RegisterWorker(&b_, 2);
    EXPECT_TRUE(tables_->ClaimPath(&a_, "/d/game.zip"));
    EXPECT_TRUE(tables_->ClaimPath(&a_, "/d/game.zip"));
    EXPECT_FALSE(tables_->ClaimPath(&b_, "/d/game.zip"));
    EXPECT_TRUE(tables_->ClaimPath(&b_, "/d/game(1).zip"));
    tables_->ReleaseWorker(&a_);
    EXPECT_TRUE(tables_->ClaimPath(&b_, "/d/game.zip"));
    WorkerControl unregistered;
    EXPECT_FALSE(tables_->ClaimPath(&unregistered, "/d/other.zip"));
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, QueueYieldsInOrderOfArrival) {
    EXPECT_EQ(tables_->TakeNextWaiting(), std::nullopt);
    for (RowKey key = 10; key < 15; ++key) {
        ASSERT_TRUE(tables_->Enqueue(Launch(key)));
    }
    EXPECT_EQ(tables_->TakeNextWaiting()->key, 10u);
    EXPECT_EQ(tables_->WaitingCount(), 4);
    EXPECT_EQ(DrainQueue(), (std::vector<RowKey>{11, 12, 13, 14}));
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, FullQueueRefusesWithoutOverwriting) {
    for (RowKey key = 1; key <= kWaitingQueueSize; ++key) {
        ASSERT_TRUE(tables_->Enqueue(Launch(key)));
    }
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize + 1)));
    EXPECT_FALSE(tables_->IsWaiting(kWaitingQueueSize + 1));

    EXPECT_EQ(tables_->TakeNextWaiting()->key, 1u);
    EXPECT_TRUE(tables_->Enqueue(Launch(kWaitingQueueSize + 1)));
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize + 2)));
    tables_->Forget(2500);
    EXPECT_TRUE(tables_->Consistent());
    std::vector<RowKey> expected;
    for (RowKey key = 2; key <= kWaitingQueueSize + 1; ++key) {
        if (key != 2500) {
            expected.push_back(key);
        }
    }
    EXPECT_EQ(DrainQueue(), expected);

    TaskLaunch unlisted = Launch(1);
    unlisted.listView = nullptr;
    EXPECT_FALSE(tables_->Enqueue(unlisted));
    EXPECT_EQ(tables_->WaitingCount(), 0);
}

TEST(EffectiveTaskLimit, KeepsWithinTheSlots) {
    EXPECT_EQ(EffectiveTaskLimit(5), 5);
    EXPECT_EQ(EffectiveTaskLimit(20), 20);
    EXPECT_EQ(EffectiveTaskLimit(21), 20);
    EXPECT_EQ(EffectiveTaskLimit(1), 1);
    EXPECT_EQ(EffectiveTaskLimit(0), 1);
    EXPECT_EQ(EffectiveTaskLimit(-7), 1);
}

}  // namespace
}  // namespace tarvane
