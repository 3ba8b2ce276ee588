#include "tarvane/shell/task_list_model.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QItemSelectionModel>
#include <atomic>
#include <thread>

#include "tests/shell/shell_fixture.h"

namespace tarvane::test {
namespace {

// Workers change their tasks without waiting for the interface thread; the rows show the last state
// of each task a moment later, a task that left goes, and the selected task stays selected.
TaskEntry Named(const std::string& name) {
    TaskEntry entry;
    entry.page = "p" + name;
    entry.name = name;
    return entry;
}

TEST(TaskListModel, ShowsWhatWorkersChangedWithoutHoldingThemAndKeepsTheSelection) {
    TaskBook book;
    TaskId a = book.Add(Named("a"));
    TaskListModel model(book, {QIcon(), QIcon(), QIcon()});
    TaskId b = book.Add(Named("b"));  // on this thread: shown at once
    ASSERT_EQ(model.rowCount(), 2);
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(model.RowOf(b), 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int64_t count = 1; count <= 1000; ++count) {
            book.Update(b, [count](TaskEntry& task) {
                task.size = 1000;
                task.done = count;
                task.running = true;
            });
        }
        book.Remove(a);
        book.Update(a, [](TaskEntry& task) { task.name = "gone"; });
        book.Add(Named("c"));
        done = true;
    });
    // Nothing is served meanwhile, and the worker is not held.
    for (int i = 0; i < 200 && !done; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(done);
    worker.join();
    EXPECT_EQ(model.rowCount(), 2);
    ASSERT_TRUE(SpinUntil([&] { return model.rowCount() == 2 && model.Text(1, kColumnName) == "c"; }));
    EXPECT_EQ(model.Text(0, kColumnName), "b");
    EXPECT_EQ(model.Text(0, kColumnPercent), "100.00%");
    EXPECT_EQ(model.Image(0), kImageDownloading);
    EXPECT_EQ(model.IdOfRow(0), b);
    EXPECT_EQ(model.RowOf(a), -1);
    EXPECT_EQ(selection.currentIndex().row(), 0);
    EXPECT_TRUE(selection.isRowSelected(0, {}));
}

}  // namespace
}  // namespace tarvane::test
