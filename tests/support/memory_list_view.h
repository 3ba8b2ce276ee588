#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tarvane/engine/list_view.h"

namespace tarvane::test {

// A list view that keeps its rows in memory; safe to call from several threads.
class MemoryListView : public TaskListView {
public:
    struct Row {
        int image = 0;
        std::vector<std::string> cells;
        RowKey key = kNoRowKey;
        std::string tip;
    };

    explicit MemoryListView(int columns = kDefaultColumns) : columns_(columns) {}

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
    std::string Tip(int row) const;

    int Image(int row) const;
    // Number of SetImage and SetSubItemText calls so far, to see which writes were made.
    int WriteCount() const;

private:
    static constexpr int kDefaultColumns = 9;
    int FindLocked(RowKey key) const;
    int columns_;
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    int writes_ = 0;
    RowKey lastKey_ = kNoRowKey;
};

}  // namespace tarvane::test
