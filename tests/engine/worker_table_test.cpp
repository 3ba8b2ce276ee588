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
    TaskLaunch Launch(int row) {
        TaskLaunch launch;
        launch.row = row;
        launch.name = "task" + std::to_string(row);
        launch.listView = &list_;
        return launch;
    }

    std::vector<int> DrainQueueRows() {
        std::vector<int> rows;
        while (auto launch = tables_->TakeNextWaiting()) {
            EXPECT_EQ(launch->name, "task" + std::to_string(launch->row - renamed_));
            EXPECT_EQ(launch->listView, &list_);
            rows.push_back(launch->row);
        }
        return rows;
    }

    test::MemoryListView list_;
    std::unique_ptr<TaskTables> tables_ = std::make_unique<TaskTables>();
    WorkerControl a_, b_, c_;
    int renamed_ = 0;  // how far waiting rows moved since they were named
};

TEST_F(WorkerTableTest, CompletedWorkerMovesLaterRowsUpPausedOneDoesNot) {
    ASSERT_TRUE(tables_->RegisterWorker(&a_, 1));
    ASSERT_TRUE(tables_->RegisterWorker(&b_, 4));
    ASSERT_TRUE(tables_->RegisterWorker(&c_, 6));
    ASSERT_TRUE(tables_->Enqueue(Launch(8)));
    ASSERT_TRUE(tables_->Enqueue(Launch(4)));  // started twice: its row leaves with the worker

    int dropped = 0;
    EXPECT_EQ(tables_->ReleaseWorker(true, &b_, &dropped), 4);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(tables_->RunningCount(), 2);
    EXPECT_EQ(tables_->FindWorkerSlot(1), 0);
    EXPECT_EQ(tables_->FindWorkerSlot(5), 1);
    EXPECT_EQ(tables_->FindWorkerSlot(6), -1);
    EXPECT_TRUE(tables_->IsWaiting(7));
    EXPECT_FALSE(tables_->IsWaiting(4));

    EXPECT_EQ(tables_->ReleaseWorker(false, &a_, &dropped), 1);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(tables_->FindWorkerSlot(5), 0);
    EXPECT_TRUE(tables_->IsWaiting(7));
    EXPECT_EQ(tables_->ReleaseWorker(false, &a_), -1);
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, TwentySlotsStayPackedInOrder) {
    WorkerControl workers[kWorkerSlotCount];
    for (int i = 0; i < kWorkerSlotCount; ++i) {
        ASSERT_TRUE(tables_->RegisterWorker(&workers[i], i));
    }
    WorkerControl extra;
    EXPECT_FALSE(tables_->RegisterWorker(&extra, 99));

    EXPECT_EQ(tables_->ReleaseWorker(false, &workers[0]), 0);
    EXPECT_EQ(tables_->ReleaseWorker(false, &workers[10]), 10);
    EXPECT_EQ(tables_->RunningCount(), kWorkerSlotCount - 2);
    EXPECT_EQ(tables_->FindWorkerSlot(9), 8);
    EXPECT_EQ(tables_->FindWorkerSlot(11), 9);
    EXPECT_EQ(tables_->FindWorkerSlot(19), 17);
    EXPECT_TRUE(tables_->RegisterWorker(&extra, 99));
    EXPECT_EQ(tables_->FindWorkerSlot(99), 18);
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, PauseAndStateFollowTheRow) {
    tables_->RegisterWorker(&a_, 3);
    tables_->RegisterWorker(&b_, 5);
    b_.state = kStateDownloading;

    EXPECT_FALSE(tables_->RequestPause(4));
    EXPECT_TRUE(tables_->RequestPause(5));
    EXPECT_EQ(b_.pauseRequested.load(), 1);
    EXPECT_EQ(a_.pauseRequested.load(), 0);

    EXPECT_EQ(tables_->WorkerState(tables_->FindWorkerSlot(3)), kStatePreparing);
    EXPECT_EQ(tables_->WorkerState(1), kStateDownloading);
    EXPECT_EQ(tables_->WorkerStateOfRow(5), kStateDownloading);
    EXPECT_EQ(tables_->WorkerStateOfRow(4), std::nullopt);

    EXPECT_TRUE(tables_->AnyWorkerRunning());
    tables_->PauseAllWorkers();
    EXPECT_EQ(a_.pauseRequested.load(), 1);
    tables_->ReleaseWorker(false, &a_);
    tables_->ReleaseWorker(false, &b_);
    EXPECT_FALSE(tables_->AnyWorkerRunning());
    EXPECT_EQ(tables_->WorkerState(0), kStatePreparing);
}

TEST_F(WorkerTableTest, DeletedRowOfARunningWorkerReachesNoOtherTask) {
    tables_->RegisterWorker(&a_, 2);
    tables_->RegisterWorker(&b_, 3);
    tables_->RowRemoved(2);

    // The worker of the deleted row runs until it sees its pause, but has no row any more.
    EXPECT_EQ(tables_->WorkerRow(&a_), -1);
    EXPECT_EQ(tables_->WorkerRow(&b_), 2);
    EXPECT_EQ(tables_->FindWorkerSlot(2), 1);
    EXPECT_EQ(tables_->FindWorkerSlot(-1), -1);
    EXPECT_TRUE(tables_->AnyWorkerRunning());
    tables_->PauseAllWorkers();
    EXPECT_EQ(a_.pauseRequested.load(), 1);

    EXPECT_EQ(tables_->ReleaseWorker(true, &a_), -1);
    EXPECT_EQ(tables_->WorkerRow(&b_), 2);
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, QueueYieldsInOrderOfArrival) {
    EXPECT_EQ(tables_->TakeNextWaiting(), std::nullopt);
    for (int row = 10; row < 15; ++row) {
        ASSERT_TRUE(tables_->Enqueue(Launch(row)));
    }
    EXPECT_EQ(tables_->TakeNextWaiting()->row, 10);
    EXPECT_EQ(tables_->WaitingCount(), 4);
    EXPECT_EQ(DrainQueueRows(), (std::vector<int>{11, 12, 13, 14}));
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, FullQueueRefusesWithoutOverwriting) {
    for (int i = 0; i < kWaitingQueueSize; ++i) {
        ASSERT_TRUE(tables_->Enqueue(Launch(i)));
    }
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize)));
    EXPECT_FALSE(tables_->IsWaiting(kWaitingQueueSize));

    EXPECT_EQ(tables_->TakeNextWaiting()->row, 0);
    EXPECT_TRUE(tables_->Enqueue(Launch(kWaitingQueueSize)));
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize + 1)));
    EXPECT_EQ(tables_->RemoveWaiting(2500), 1);
    EXPECT_TRUE(tables_->Consistent());
    std::vector<int> expected;
    for (int row = 1; row <= kWaitingQueueSize; ++row) {
        if (row != 2500) {
            expected.push_back(row);
        }
    }
    EXPECT_EQ(DrainQueueRows(), expected);

    TaskLaunch unlisted = Launch(1);
    unlisted.listView = nullptr;
    EXPECT_FALSE(tables_->Enqueue(unlisted));
    EXPECT_EQ(tables_->WaitingCount(), 0);
}

TEST_F(WorkerTableTest, RemovedWaitingTaskNeverStarts) {
    for (int row : {3, 5, 7, 9}) {
        tables_->Enqueue(Launch(row));
    }
    EXPECT_EQ(tables_->RemoveWaiting(4), 0);
    EXPECT_EQ(tables_->RemoveWaiting(5), 1);
    EXPECT_FALSE(tables_->IsWaiting(5));
    // The delete command removes the entry, then the row.
    EXPECT_EQ(tables_->RowRemoved(5), 0);
    EXPECT_TRUE(tables_->IsWaiting(6));
    EXPECT_EQ(tables_->TakeNextWaiting()->row, 3);
    // A row that leaves the list without RemoveWaiting takes its entry with it.
    EXPECT_EQ(tables_->RowRemoved(6), 1);
    renamed_ = -2;
    EXPECT_EQ(DrainQueueRows(), std::vector<int>{7});
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
