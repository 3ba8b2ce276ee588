#include "tarvane/shell/task_list_model.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QIcon>
#include <atomic>
#include <thread>

#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

// A worker's writes to its row never wait for the interface thread: they land in their order on the
// row they were made for, wherever it has moved, and nowhere once it has left the list.
TEST(TaskListModel, WorkersPublishWithoutWaitingAndTheirWritesLandInOrder) {
    TaskListModel model({QIcon(), QIcon(), QIcon()});
    model.InsertRow(0, "a");
    model.InsertRow(1, "b");
    RowKey a = model.KeyOfRow(0), b = model.KeyOfRow(1);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        model.SetTextOf(b, kColumnPercent, "1%");
        model.SetTextOf(b, kColumnPercent, "42%");
        model.SetImageOf(b, kImageDownloading);
        model.DeleteRowOf(a);
        model.SetTextOf(a, kColumnSpeed, "9K/S");
        done = true;
    });
    // No event is served meanwhile.
    for (int i = 0; i < 200 && !done; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(done);
    ASSERT_TRUE(SpinUntil([&] { return model.RowCount() == 1; }));
    worker.join();
    EXPECT_EQ(model.SubItemText(0, kColumnPercent), "42%");
    EXPECT_EQ(model.Image(0), kImageDownloading);
    EXPECT_EQ(model.SubItemText(0, kColumnSpeed), "");
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
