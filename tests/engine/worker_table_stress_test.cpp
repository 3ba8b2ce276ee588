#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "tarvane/engine/worker_table.h"
#include "tests/support/memory_list_view.h"

namespace tarvane {
namespace {

// Every operation from many threads at once; afterwards the tables must be packed and every
// waiting task accounted for exactly once.
TEST(WorkerTableStress, ConcurrentOperationsKeepBothTablesConsistent) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 1500;
    auto tables = std::make_unique<TaskTables>();
    test::MemoryListView list;
    std::atomic<int> enqueued{0};
    std::atomic<int> gone{0};  // taken, removed or dropped with their row
    std::atomic<int> failures{0};

    auto body = [&](int id) {
        WorkerControl first;
        WorkerControl second;
        for (int round = 0; round < kRounds; ++round) {
            // Each thread's workers run tasks of their own; waiting tasks are shared by all.
            RowKey own = static_cast<RowKey>(1000 * (id + 1) + round % 40);
            RowKey shared = static_cast<RowKey>(1 + (id * 7 + round) % 40);
            if (!tables->RegisterWorker(&first, own) || !tables->RegisterWorker(&second, own + 500)) {
                failures.fetch_add(1);
            }
            TaskLaunch launch;
            launch.key = shared;
            launch.name = "t";
            launch.listView = &list;
            if (tables->Enqueue(launch)) {
                enqueued.fetch_add(1);
            }
            tables->RequestPause(own);
            tables->WorkerStateOf(own + 500);
            tables->IsWaiting(shared);
            tables->ClaimPath(&first, "p" + std::to_string(round % 7));
            gone.fetch_add(tables->Forget(static_cast<RowKey>(1 + (round * 13 + id) % 45)));
            if (round % 3 == 0) {
                if (auto taken = tables->TakeNextWaiting()) {
                    gone.fetch_add(1);
                    if (taken->listView != &list || taken->name != "t") {
                        failures.fetch_add(1);
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
