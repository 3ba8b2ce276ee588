#include "tarvane/engine/progress.h"

#include <gtest/gtest.h>

#include <memory>

#include "tarvane/engine/task_columns.h"

namespace tarvane {
namespace {

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int task = 0; task < 4; ++task) {
            book_.Add({});
        }
        book_.OnChange([this] { ++changes_; });
        ASSERT_TRUE(tables_->RegisterWorker(&worker_, key_));
    }

    int Report(double total, double received, double nowMs) {
        return ReportProgress(progress_, total, received, nowMs, *tables_, worker_, key_, book_);
    }
    std::string Cell(int column) const { return TaskCellText(*book_.Get(key_), column); }
    // Percent, speed and time left of the worker's task.
    std::string Cells() const { return Cell(kColumnPercent) + "|" + Cell(kColumnSpeed) + "|" + Cell(kColumnTimeLeft); }

    TaskBook book_;
    int changes_ = 0;
    TaskId key_ = 3;
    std::unique_ptr<TaskTables> tables_ = std::make_unique<TaskTables>();
    WorkerControl worker_;
    TransferProgress progress_;
};

TEST_F(ProgressTest, ResumedCountsFromItsOffsetAndSpeedIsSampledTwiceASecond) {
    progress_.Begin(950, 2000, 0);
    EXPECT_EQ(progress_.downloadedText, "950");
    EXPECT_EQ(Report(1050, 0, 50), kProgressContinue);
    EXPECT_EQ(changes_, 0);
    EXPECT_EQ(Report(1050, 50, 100), kProgressContinue);
    EXPECT_EQ(progress_.downloadedText, "1000");
    // Inside the first half second nothing is measured yet.
    EXPECT_EQ(Cells(), "50.00%||");

    // Speed and time left are sampled twice a second.
    const double total = 1100 * 1024;
    progress_.Begin(0, total, 5000);
    EXPECT_EQ(Report(total, 100 * 1024, 6000), kProgressContinue);
    EXPECT_EQ(Cells(), "9.09%|100K/S|10");
    // 300 ms later: the percentage moves, speed and time stay.
    Report(total, 550 * 1024, 6300);
    EXPECT_EQ(Cells(), "50.00%|100K/S|10");
    // 500 ms after the sample: 450 KiB more in half a second.
    Report(total, 550 * 1024, 6500);
    EXPECT_EQ(Cells(), "50.00%|900K/S|1");
    // No data for a while: speed 0, the time keeps its text.
    Report(total, 550 * 1024, 7000);
    EXPECT_EQ(Cells(), "50.00%|0K/S|1");

    // An unknown total shows the received size.
    book_.Update(key_, [](TaskEntry& task) { task.note = TaskNote::Starting; });
    progress_.Begin(0, -1.0, 0);
    EXPECT_EQ(Report(0, 1536, 1000), kProgressContinue);
    EXPECT_EQ(Cells(), "1.50KB|2K/S|00:00:00");
}

TEST_F(ProgressTest, PauseOrALostRowStopsEvenInsideTheGate) {
    progress_.Begin(100, 1000, 0);
    Report(900, 200, 600);
    int writes = changes_;
    worker_.pauseRequested = 1;
    EXPECT_EQ(Report(900, 300, 700), kProgressStop);
    EXPECT_EQ(progress_.downloadedText, "400");
    EXPECT_EQ(changes_, writes);
    EXPECT_EQ(Cell(kColumnPercent), "30.00%");

    // Forget asks the worker to stop; without that request the missing row alone stops it.
    tables_->Forget(key_);
    worker_.pauseRequested = 0;
    EXPECT_EQ(Report(1000, 10, 800), kProgressStop);
    tables_->ReleaseWorker(&worker_);
    EXPECT_EQ(Report(1000, 20, 900), kProgressStop);
    EXPECT_EQ(changes_, writes);
    EXPECT_EQ(progress_.downloadedText, "120");
}

}  // namespace
}  // namespace tarvane
