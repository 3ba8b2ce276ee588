#include "tarvane/engine/worker_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarvane {
namespace {

class WorkerTableTest : public ::testing::Test {
protected:
    TaskLaunch Launch(TaskId key) {
        TaskLaunch launch;
        launch.id = key;
        launch.name = "task" + std::to_string(key);
        return launch;
    }
    // The first waiting task, taken as the scheduler takes it (its worker let go at once).
    std::optional<TaskLaunch> TakeNext() {
        auto taken = tables_->TakeNextWaiting([this](const TaskLaunch&) { return &taker_; });
        if (!taken) {
            return std::nullopt;
        }
        if (taken->registered) {
            tables_->ReleaseWorker(&taker_);
        }
        return taken->launch;
    }

    std::unique_ptr<TaskTables> tables_ = std::make_unique<TaskTables>();
    WorkerControl a_, b_, taker_;
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
    EXPECT_EQ(tables_->RunningCount(), kWorkerSlotCount - 2);
    // A task that has a worker never gets a second one.
    EXPECT_FALSE(tables_->RegisterWorker(&extra, 105));
    EXPECT_TRUE(tables_->RegisterWorker(&extra, 110));
    EXPECT_TRUE(tables_->Consistent());
    // The user's task limit is kept within the slots.
    EXPECT_EQ(EffectiveTaskLimit(kWorkerSlotCount + 1), kWorkerSlotCount);
    EXPECT_EQ(EffectiveTaskLimit(0), 1);
}

TEST_F(WorkerTableTest, PauseStateAndForgottenRowsFollowTheKey) {
    tables_->RegisterWorker(&a_, 3);
    tables_->RegisterWorker(&b_, 5);
    b_.state = kStateDownloading;
    ASSERT_TRUE(tables_->Enqueue(Launch(7)));

    EXPECT_TRUE(tables_->RequestPause(5));
    EXPECT_EQ(a_.pauseRequested.load(), 0);
    EXPECT_EQ(tables_->WorkerStateOf(5), kStateDownloading);

    // A deleted row: its worker is asked to stop and loses its key, its waiting entry goes.
    tables_->Forget(3);
    tables_->Forget(7);
    EXPECT_EQ(a_.pauseRequested.load(), 1);
    EXPECT_FALSE(tables_->HasWorker(3));
    EXPECT_FALSE(tables_->IsWaiting(7));
    EXPECT_FALSE(tables_->ReleaseWorker(&a_));

    // A delete and a completion of one task: whichever comes first wins, the other gives way.
    EXPECT_TRUE(tables_->ReleaseWorker(&b_));
    WorkerControl finishing;
    tables_->RegisterWorker(&finishing, 11);
    EXPECT_TRUE(tables_->ClaimCompletion(&finishing));
    EXPECT_FALSE(tables_->BeginDelete(11));
    EXPECT_EQ(finishing.pauseRequested.load(), 0);
    EXPECT_TRUE(tables_->ReleaseWorker(&finishing));
    tables_->RegisterWorker(&a_, 9);
    EXPECT_TRUE(tables_->BeginDelete(9));
    EXPECT_FALSE(tables_->ClaimCompletion(&a_));
    tables_->ReleaseWorker(&a_);
    EXPECT_FALSE(tables_->AnyWorkerRunning());
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, OneWriterADataFile) {
    tables_->RegisterWorker(&a_, 1);
    tables_->RegisterWorker(&b_, 2);
    EXPECT_TRUE(tables_->ClaimPath(&a_, "/d/game.zip"));
    EXPECT_FALSE(tables_->ClaimPath(&b_, "/d/game.zip"));
    EXPECT_TRUE(tables_->ClaimPath(&b_, "/d/game(1).zip"));
    tables_->ReleaseWorker(&a_);
    EXPECT_TRUE(tables_->ClaimPath(&b_, "/d/game.zip"));
    EXPECT_TRUE(tables_->Consistent());
}

TEST_F(WorkerTableTest, QueueYieldsInOrderOfArrivalAndRefusesWhenFull) {
    EXPECT_EQ(TakeNext(), std::nullopt);
    for (TaskId key = 1; key <= kWaitingQueueSize; ++key) {
        ASSERT_TRUE(tables_->Enqueue(Launch(key)));
    }
    EXPECT_FALSE(tables_->Enqueue(Launch(kWaitingQueueSize + 1)));

    // A task taken from the queue has its worker at once: a delete right after reaches it.
    auto first = tables_->TakeNextWaiting([this](const TaskLaunch&) { return &taker_; });
    ASSERT_TRUE(first && first->registered);
    EXPECT_EQ(first->launch.id, 1u);
    EXPECT_TRUE(tables_->BeginDelete(1));
    EXPECT_EQ(taker_.pauseRequested.load(), 1);
    EXPECT_FALSE(tables_->ReleaseWorker(&taker_));
    EXPECT_TRUE(tables_->Enqueue(Launch(kWaitingQueueSize + 1)));
    tables_->Forget(2500);
    EXPECT_TRUE(tables_->Consistent());
    std::vector<TaskId> expected;
    for (TaskId key = 2; key <= kWaitingQueueSize + 1; ++key) {
        if (key != 2500) {
            expected.push_back(key);
        }
    }
    std::vector<TaskId> taken;
    while (auto launch = TakeNext()) {
        EXPECT_EQ(launch->name, "task" + std::to_string(launch->id));
        taken.push_back(launch->id);
    }
    EXPECT_EQ(taken, expected);
}

// Every operation from many threads at once; afterwards the tables must be packed and every
// waiting task accounted for exactly once.
TEST(WorkerTableStress, ConcurrentOperationsKeepBothTablesConsistent) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 1500;
    auto tables = std::make_unique<TaskTables>();
    std::atomic<int> enqueued{0};
    std::atomic<int> gone{0};  // taken, removed or dropped with their row
    std::atomic<int> failures{0};

    auto body = [&](int id) {
        WorkerControl first;
        WorkerControl second;
        WorkerControl third;
        for (int round = 0; round < kRounds; ++round) {
            // Each thread's workers run tasks of their own; waiting tasks are shared by all.
            TaskId own = static_cast<TaskId>(1000 * (id + 1) + round % 40);
            TaskId shared = static_cast<TaskId>(1 + (id * 7 + round) % 40);
            if (!tables->RegisterWorker(&first, own) || !tables->RegisterWorker(&second, own + 500)) {
                failures.fetch_add(1);
            }
            TaskLaunch launch;
            launch.id = shared;
            launch.name = "t";
            if (tables->Enqueue(launch)) {
                enqueued.fetch_add(1);
            }
            tables->RequestPause(own);
            tables->WorkerStateOf(own + 500);
            tables->IsWaiting(shared);
            tables->ClaimPath(&first, "p" + std::to_string(round % 7));
            gone.fetch_add(tables->Forget(static_cast<TaskId>(1 + (round * 13 + id) % 45)));
            if (round % 3 == 0) {
                if (auto taken = tables->TakeNextWaiting([&](const TaskLaunch&) { return &third; })) {
                    gone.fetch_add(1);
                    if (taken->launch.id == kNoTask || taken->launch.name != "t") {
                        failures.fetch_add(1);
                    }
                    if (taken->registered) {
                        tables->ReleaseWorker(&third);
                    }
                }
            }
            if (round % 2 == 0) {
                tables->Forget(own);
            }
            if (tables->ReleaseWorker(&first) == (round % 2 == 0) || !tables->ReleaseWorker(&second)) {
                failures.fetch_add(1);
            }
            if (round % 50 == 0 && !tables->Consistent()) {
                failures.fetch_add(1);
            }
        }
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < kThreads; ++id) {
        threads.emplace_back(body, id);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(tables->Consistent());
    EXPECT_EQ(tables->RunningCount(), 0);
    EXPECT_FALSE(tables->AnyWorkerRunning());
    EXPECT_EQ(enqueued.load(), gone.load() + tables->WaitingCount());
}

}  // namespace
}  // namespace tarvane
