#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "tarvane/engine/task_book.h"
#include "tarvane/engine/task_record.h"

namespace tarvane {

// The task list as the window shows it: a copy of the engine's tasks, one row each in list order.
// Changes made on the model's thread show at once; those of other threads (the workers, the intake)
// are taken a few times a second, so no thread ever waits for the window and the repaints keep a
// steady rate whatever the number of tasks.
class TaskListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    TaskListModel(TaskBook& book, std::array<QIcon, 3> images, QObject* parent = nullptr);
    ~TaskListModel() override;

    // Takes the book's changes now.
    void Refresh();
    // kNoTask for a row that does not exist.
    TaskId IdOfRow(int row) const;
    // -1 when the task is not shown.
    int RowOf(TaskId id) const;
    // Whether a worker has any shown task: it looks its file up, downloads or waits to retry.
    bool AnyRunning() const;
    // The text of a cell as shown (code page 936), the row's image and its tip.
    std::string Text(int row, int column) const;
    int Image(int row) const;
    std::string Tip(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static const std::array<const char*, kTaskColumnCount>& Headings();
    static const std::array<int, kTaskColumnCount>& ColumnWidths();

private:
    struct Relay;

    // The shown task in `row`, or nullptr.
    const TaskEntry* At(int row) const;

    TaskBook& book_;
    std::array<QIcon, 3> images_;
    std::vector<TaskEntry> rows_;  // in id order, which is the list's
    uint64_t version_ = 0;
    std::shared_ptr<Relay> relay_;
    QTimer timer_;
};

}  // namespace tarvane
