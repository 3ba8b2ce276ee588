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
    TaskLaunch Launch(int row, const std::string& name = "") {
        TaskLaunch launch;
        launch.row = row;
        launch.name = name.empty() ? "task" + std::to_string(row) : name;
        launch.listView = &list_;
        return launch;
    }

    std::vector<int> Rows() {
        std::vector<int> rows;
        for (int row = 0; row < 20; ++row) {
            if (int slot = tables_->FindWorkerSlot(row); slot >= 0) {
                rows.resize(std::max<int>(rows.size(), slot + 1), -2);
                rows[slot] = row;
            }
        }
        return rows;
    }

    std::vector<TaskLaunch> DrainQueue() {
        std::vector<TaskLaunch> taken;
        while (auto launch = tables_->TakeNextWaiting()) {
            taken.push_back(*launch);
        }
        return taken;
    }

    test::MemoryListView list_;
    std::unique_ptr<TaskTables> tables_ = std::make_unique<TaskTables>();
    WorkerControl a_, b_, c_;
};

TEST_F(WorkerTableTest, CompletedWorkerMovesLaterRowsUpPausedOneDoesNot) {
    ASSERT_TRUE(tables_->RegisterWorker(&a_, 1));
    ASSERT_TRUE(tables_->RegisterWorker(&b_, 4));
    ASSERT_TRUE(tables_->RegisterWorker(&c_, 6));
    ASSERT_TRUE(tables_->Enqueue(Launch(8)));
    ASSERT_TRUE(tables_->Enqueue(Launch(2)));
    ASSERT_TRUE(tables_->Enqueue(Launch(4)));  // started twice: its row leaves with the worker

    int dropped = 0;
    EXPECT_EQ(tables_->ReleaseWorker(true, &b_, &dropped), 4);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(tables_->WaitingCount(), 2);
    EXPECT_EQ(tables_->RunningCount(), 2);
    EXPECT_EQ(tables_->FindWorkerSlot(1), 0);
    EXPECT_EQ(tables_->FindWorkerSlot(5), 1);
    EXPECT_EQ(tables_->WorkerRow(&c_), 5);
    EXPECT_EQ(tables_->FindWorkerSlot(6), -1);
    EXPECT_TRUE(tables_->IsWaiting(7));
    EXPECT_TRUE(tables_->IsWaiting(2));
    EXPECT_FALSE(tables_->IsWaiting(8));

    EXPECT_EQ(tables_->ReleaseWorker(false, &a_, &dropped), 1);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(tables_->FindWorkerSlot(5), 0);
    EXPECT_TRUE(tables_->IsWaiting(7));
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, ReleaseKeepsSlotsPackedInOrder) {
    WorkerControl workers[kWorkerSlotCount];
    for (int i = 0; i < kWorkerSlotCount; ++i) {
        ASSERT_TRUE(tables_->RegisterWorker(&workers[i], i));
    }
    WorkerControl extra;
    EXPECT_FALSE(tables_->RegisterWorker(&extra, 99));
    EXPECT_EQ(tables_->RunningCount(), kWorkerSlotCount);

    EXPECT_EQ(tables_->ReleaseWorker(false, &workers[0]), 0);
    EXPECT_EQ(tables_->ReleaseWorker(false, &workers[10]), 10);
    EXPECT_EQ(tables_->ReleaseWorker(false, &extra), -1);
    EXPECT_EQ(tables_->RunningCount(), kWorkerSlotCount - 2);
    std::vector<int> expected;
    for (int i = 1; i < kWorkerSlotCount; ++i) {
        if (i != 10) {
            expected.push_back(i);
        }
    }
    EXPECT_EQ(Rows(), expected);
    EXPECT_TRUE(tables_->RegisterWorker(&extra, 10));
    EXPECT_EQ(tables_->FindWorkerSlot(10), kWorkerSlotCount - 2);
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, PauseAndStateFollowTheRow) {
    tables_->RegisterWorker(&a_, 3);
    tables_->RegisterWorker(&b_, 5);
    b_.state = kStateDownloading;

    EXPECT_FALSE(tables_->RequestPause(4));
    EXPECT_EQ(a_.pauseRequested.load() + b_.pauseRequested.load(), 0);
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
    tables_->RequestPause(2);
    tables_->RowRemoved(2);

    // The worker on the deleted row keeps running until it sees its pause, but has no row.
    EXPECT_EQ(tables_->WorkerRow(&a_), -1);
    EXPECT_EQ(tables_->WorkerRow(&b_), 2);
    EXPECT_EQ(tables_->FindWorkerSlot(2), 1);
    EXPECT_EQ(tables_->FindWorkerSlot(-1), -1);
    EXPECT_EQ(tables_->RunningCount(), 2);
    EXPECT_TRUE(tables_->AnyWorkerRunning());

    EXPECT_EQ(tables_->ReleaseWorker(true, &a_), -1);
    EXPECT_EQ(tables_->WorkerRow(&b_), 2);
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, QueueYieldsInOrderOfArrival) {
    EXPECT_EQ(tables_->TakeNextWaiting(), std::nullopt);
    for (int row = 0; row < 5; ++row) {
        ASSERT_TRUE(tables_->Enqueue(Launch(row + 10)));
    }
    auto first = tables_->TakeNextWaiting();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->row, 10);
    EXPECT_EQ(first->name, "task10");
    EXPECT_EQ(first->listView, &list_);
    EXPECT_EQ(tables_->WaitingCount(), 4);
    EXPECT_TRUE(tables_->Consistent());

    std::vector<TaskLaunch> rest = DrainQueue();
    ASSERT_EQ(rest.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rest[i].row, 11 + i);
    }
    EXPECT_EQ(tables_->TakeNextWaiting(), std::nullopt);
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, FullQueueRefusesWithoutOverwriting) {
    for (int i = 0; i < kWaitingQueueSize; ++i) {
        ASSERT_TRUE(tables_->Enqueue(Launch(i)));
    }
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize)));
    EXPECT_EQ(tables_->WaitingCount(), kWaitingQueueSize);
    EXPECT_FALSE(tables_->IsWaiting(kWaitingQueueSize));
    EXPECT_TRUE(tables_->IsWaiting(kWaitingQueueSize - 1));

    EXPECT_EQ(tables_->TakeNextWaiting()->row, 0);
    EXPECT_TRUE(tables_->Enqueue(Launch(kWaitingQueueSize)));
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize + 1)));
    EXPECT_EQ(tables_->RemoveWaiting(2500), 1);
    EXPECT_TRUE(tables_->Consistent());
    std::vector<TaskLaunch> all = DrainQueue();
    ASSERT_EQ(all.size(), static_cast<size_t>(kWaitingQueueSize - 1));
    int expected = 1;
    for (const TaskLaunch& launch : all) {
        expected += expected == 2500 ? 1 : 0;
        ASSERT_EQ(launch.row, expected++);
    }
    EXPECT_EQ(all.back().row, kWaitingQueueSize);

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
    // The delete command removes the entry and then the row.
    EXPECT_EQ(tables_->RowRemoved(5), 0);
    // A row that leaves the list without RemoveWaiting takes its waiting entry with it.
    EXPECT_EQ(tables_->RowRemoved(6), 1);

    std::vector<TaskLaunch> left = DrainQueue();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].row, 3);
    EXPECT_EQ(left[1].row, 7);
    EXPECT_EQ(left[1].name, "task9");
}

TEST(EffectiveTaskLimit, KeepsWithinTheSlots) {
    EXPECT_EQ(EffectiveTaskLimit(5), 5);
    EXPECT_EQ(EffectiveTaskLimit(20), 20);
    EXPECT_EQ(EffectiveTaskLimit(21), 20);
    EXPECT_EQ(EffectiveTaskLimit(1000000), 20);
    EXPECT_EQ(EffectiveTaskLimit(1), 1);
    EXPECT_EQ(EffectiveTaskLimit(0), 1);
    EXPECT_EQ(EffectiveTaskLimit(-7), 1);
}

}  // namespace
}  // namespace tarvane
