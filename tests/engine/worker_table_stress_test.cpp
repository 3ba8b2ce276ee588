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
            int row = (id * 7 + round) % 40;
            if (!tables->RegisterWorker(&first, row) || !tables->RegisterWorker(&second, row + 1)) {
                failures.fetch_add(1);
            }
            TaskLaunch launch;
            launch.row = row + 2;
            launch.name = "t";
            launch.listView = &list;
            if (tables->Enqueue(launch)) {
                enqueued.fetch_add(1);
            }
            tables->RequestPause(row);
            tables->WorkerStateOfRow(row + 1);
            tables->IsWaiting(row + 2);
            if (tables->WorkerRow(&second) < -1) {
                failures.fetch_add(1);
            }
            gone.fetch_add(tables->RowRemoved((round * 13 + id) % 45));
            if (round % 3 == 0) {
                if (auto taken = tables->TakeNextWaiting()) {
                    gone.fetch_add(1);
                    if (taken->listView != &list || taken->name != "t") {
                        failures.fetch_add(1);
                    }
                }
            }
            if (round % 5 == 0) {
                gone.fetch_add(tables->RemoveWaiting(row + 2));
            }
            int dropped = 0;
            tables->ReleaseWorker(round % 2 == 0, &first, &dropped);
            gone.fetch_add(dropped);
            tables->ReleaseWorker(round % 3 == 0, &second, &dropped);
            gone.fetch_add(dropped);
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
