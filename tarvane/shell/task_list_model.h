#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tarvane/engine/list_view.h"
#include "tarvane/engine/task_record.h"

namespace tarvane {

// The task rows behind the list: nine columns of code page 936 text and an image per row. A worker's
// writes to its row (by key) are published and never wait: the model's thread applies them in order
// a few times a second and repaints the rows they changed. Other calls from other threads are carried
// to the model's thread and wait there until served. After Detach such calls return at once without
// touching the rows, so the program can end while a worker it gave up on still runs.
class TaskListModel : public QAbstractTableModel, public TaskListView {
    Q_OBJECT

public:
    explicit TaskListModel(std::array<QIcon, 3> images, QObject* parent = nullptr);
    ~TaskListModel() override;

    int InsertRow(int row, const std::string& text) override;
    void SetImage(int row, int image) override;
    void SetSubItemText(int row, int column, const std::string& text) override;
    std::string SubItemText(int row, int column) const override;
    bool DeleteRow(int row) override;
    int RowCount() const override;
    RowKey KeyOfRow(int row) const override;
    int RowOfKey(RowKey key) const override;
    void SetImageOf(RowKey key, int image) override;
    void SetTextOf(RowKey key, int column, const std::string& text) override;
    bool DeleteRowOf(RowKey key) override;
    void SetTipOf(RowKey key, const std::string& text) override;
    int Image(int row) const;

    void Detach();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static const std::array<const char*, kTaskColumnCount>& Headings();
    static const std::array<int, kTaskColumnCount>& ColumnWidths();

private:
    struct Row {
        std::array<std::string, kTaskColumnCount> texts;
        int image = -1;
        RowKey key = kNoRowKey;
        std::string tip;
    };
    struct Call;
    // A keyed write made on another thread, waiting to be applied.
    struct Published {
        enum class Kind { Image, Text, Tip, Delete };
        RowKey key = kNoRowKey;
        Kind kind = Kind::Text;
        int value = 0;  // the image, or the column of a text
        std::string text;
    };

    // Runs `work` on the model's thread and waits for it; false when the model was detached first.
    bool Serve(const std::function<void()>& work) const;
    // Where the rows live: on the model's thread.
    int FindKey(RowKey key) const;
    void WriteImage(int row, int image);
    void WriteText(int row, int column, const std::string& text);
    void RemoveRow(int row);
    // False when the call is on the model's thread and is to be done at once.
    bool Publish(Published change);
    void ApplyPublished();

    std::array<QIcon, 3> images_;
    std::vector<Row> rows_;
    RowKey lastKey_ = kNoRowKey;
    mutable std::mutex callsMutex_;
    mutable std::vector<std::shared_ptr<Call>> pending_;
    std::vector<Published> published_;
    bool applyScheduled_ = false;
    bool detached_ = false;
};

}  // namespace tarvane
