#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tarvane/engine/list_view.h"

namespace tarvane::test {

// A list view that keeps its rows in memory, for the list of finished downloads.
class MemoryListView : public ListView {
public:
    int InsertRow(int row, const std::string& text) override {
        row = std::clamp(row, 0, static_cast<int>(rows_.size()));
        rows_.insert(rows_.begin() + row, std::vector<std::string>(kColumns));
        rows_[static_cast<std::size_t>(row)][0] = text;
        return row;
    }
    void SetImage(int, int) override {}
    void SetSubItemText(int row, int column, const std::string& text) override {
        if (Exists(row) && column >= 0 && column < kColumns) {
            rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
        }
    }
    std::string SubItemText(int row, int column) const override {
        return Exists(row) && column >= 0 && column < kColumns
                   ? rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]
                   : std::string();
    }
    bool DeleteRow(int row) override {
        if (!Exists(row)) {
            return false;
        }
        rows_.erase(rows_.begin() + row);
        return true;
    }
    int RowCount() const override { return static_cast<int>(rows_.size()); }

private:
    static constexpr int kColumns = 9;
    bool Exists(int row) const { return row >= 0 && row < RowCount(); }

    std::vector<std::vector<std::string>> rows_;
};

}  // namespace tarvane::test
