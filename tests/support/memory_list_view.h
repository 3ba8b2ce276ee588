#pragma once

#include <algorithm>
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

    int InsertRow(int row, const std::string& text) override {
        std::lock_guard lock(mutex_);
        row = std::clamp(row, 0, static_cast<int>(rows_.size()));
        Row fresh{.cells = std::vector<std::string>(columns_), .key = ++lastKey_, .tip = ""};
        fresh.cells[0] = text;
        rows_.insert(rows_.begin() + row, std::move(fresh));
        return row;
    }
    void SetImage(int row, int image) override {
        Change(row, true, [&](Row& found) { found.image = image; });
    }
    void SetSubItemText(int row, int column, const std::string& text) override {
        Change(row, true, [&](Row& found) { SetCell(found, column, text); });
    }
    std::string SubItemText(int row, int column) const override {
        return Read(row, std::string(), [&](const Row& found) {
            return column >= 0 && column < columns_ ? found.cells[column] : std::string();
        });
    }
    bool DeleteRow(int row) override {
        return Change(row, false, [&](Row&) { rows_.erase(rows_.begin() + row); });
    }
    int RowCount() const override {
        std::lock_guard lock(mutex_);
        return static_cast<int>(rows_.size());
    }
    RowKey KeyOfRow(int row) const override {
        return Read(row, kNoRowKey, [](const Row& found) { return found.key; });
    }
    int RowOfKey(RowKey key) const override {
        std::lock_guard lock(mutex_);
        return Find(key);
    }
    void SetImageOf(RowKey key, int image) override {
        Change(key, true, [&](Row& found) { found.image = image; });
    }
    void SetTextOf(RowKey key, int column, const std::string& text) override {
        Change(key, true, [&](Row& found) { SetCell(found, column, text); });
    }
    bool DeleteRowOf(RowKey key) override {
        return Change(key, false, [&](Row& found) { rows_.erase(rows_.begin() + (&found - rows_.data())); });
    }
    void SetTipOf(RowKey key, const std::string& text) override {
        Change(key, false, [&](Row& found) { found.tip = text; });
    }

    std::string Tip(int row) const {
        return Read(row, std::string(), [](const Row& found) { return found.tip; });
    }
    int Image(int row) const {
        return Read(row, -1, [](const Row& found) { return found.image; });
    }
    // Number of SetImage and SetSubItemText calls so far, to see which writes were made.
    int WriteCount() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }

private:
    static constexpr int kDefaultColumns = 9;

    // The position of `key`, or -1; the caller holds the lock.
    int Find(RowKey key) const {
        auto found = std::find_if(rows_.begin(), rows_.end(), [key](const Row& row) { return row.key == key; });
        return key == kNoRowKey || found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
    }
    void SetCell(Row& row, int column, const std::string& text) const {
        if (column >= 0 && column < columns_) {
            row.cells[column] = text;
        }
    }
    // Applies `change` to the row at `row` (or of a key) under the lock, when there is one; answers
    // whether there was. `write` counts the call as a write.
    template <typename Fn>
    bool Change(int row, bool write, Fn change) {
        std::lock_guard lock(mutex_);
        writes_ += write ? 1 : 0;
        return ChangeLocked(row, change);
    }
    template <typename Fn>
    bool Change(RowKey key, bool write, Fn change) {
        std::lock_guard lock(mutex_);
        writes_ += write ? 1 : 0;
        return ChangeLocked(Find(key), change);
    }
    template <typename Fn>
    bool ChangeLocked(int row, Fn& change) {
        if (row < 0 || row >= static_cast<int>(rows_.size())) {
            return false;
        }
        change(rows_[row]);
        return true;
    }
    template <typename T, typename Get>
    T Read(int row, T fallback, Get get) const {
        std::lock_guard lock(mutex_);
        return row >= 0 && row < static_cast<int>(rows_.size()) ? get(rows_[row]) : fallback;
    }

    int columns_;
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    int writes_ = 0;
    RowKey lastKey_ = kNoRowKey;
};

}  // namespace tarvane::test
