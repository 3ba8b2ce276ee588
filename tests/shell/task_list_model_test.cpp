#include "tarvane/shell/task_list_model.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QIcon>
#include <atomic>
#include <thread>

#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

TEST(TaskListModel, WritesFromWorkersLandBeforeTheyReturn) {
    TaskListModel model({QIcon(), QIcon(), QIcon()});
    model.InsertRow(0, "");
    std::atomic<bool> done{false};
    std::string seenByWorker;
    int insertedAt = -1;
    std::thread worker([&] {
        model.SetSubItemText(0, kColumnPercent, "42%");
        // The write is done when the call returns: a read right after sees it.
        seenByWorker = model.SubItemText(0, kColumnPercent);
        insertedAt = model.InsertRow(99, "x");
        model.SetImage(1, kImageDownloading);
        model.DeleteRow(0);
        done = true;
    });
    EXPECT_TRUE(SpinUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(seenByWorker, "42%");
    EXPECT_EQ(insertedAt, 1);  // clamped to the row count
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.SubItemText(0, 0), "x");
    EXPECT_EQ(model.Image(0), kImageDownloading);
}

TEST(TaskListModel, DetachedModelNoLongerHoldsWorkersUp) {
    TaskListModel model({QIcon(), QIcon(), QIcon()});
    model.InsertRow(0, "");
    std::atomic<bool> waiting{false};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        waiting = true;
        // Nobody serves this call: the interface thread is busy and then gives up on the list.
        model.SetSubItemText(0, kColumnSpeed, "1K/S");
        returned = true;
    });
    while (!waiting) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(returned);
    model.Detach();
    worker.join();
    EXPECT_TRUE(returned);
    // The abandoned write never happens, even once events are processed again.
    QCoreApplication::processEvents();
    EXPECT_EQ(model.SubItemText(0, kColumnSpeed), "");
    std::thread late([&] { EXPECT_EQ(model.RowCount(), 0); });  // answers at once, untouched
    late.join();
}

}  // namespace
}  // namespace tarvane::test
