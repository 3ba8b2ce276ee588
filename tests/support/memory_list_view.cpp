#include "tests/support/memory_list_view.h"

#include <algorithm>

namespace tarvane::test {

int MemoryListView::InsertRow(int row, const std::string& text) {
    std::lock_guard lock(mutex_);
    row = std::clamp(row, 0, static_cast<int>(rows_.size()));
    Row fresh;
    fresh.cells.assign(columns_, "");
    fresh.cells[0] = text;
    fresh.key = ++lastKey_;
    rows_.insert(rows_.begin() + row, std::move(fresh));
    return row;
}

void MemoryListView::SetImage(int row, int image) {
    std::lock_guard lock(mutex_);
    ++writes_;
    if (row >= 0 && row < static_cast<int>(rows_.size())) {
        rows_[row].image = image;
    }
}

void MemoryListView::SetSubItemText(int row, int column, const std::string& text) {
    std::lock_guard lock(mutex_);
    ++writes_;
    if (row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < columns_) {
        rows_[row].cells[column] = text;
    }
}

std::string MemoryListView::SubItemText(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < columns_) {
        return rows_[row].cells[column];
    }
    return "";
}

bool MemoryListView::DeleteRow(int row) {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return false;
    }
    rows_.erase(rows_.begin() + row);
    return true;
}

int MemoryListView::RowCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

RowKey MemoryListView::KeyOfRow(int row) const {
    std::lock_guard lock(mutex_);
    return (row >= 0 && row < static_cast<int>(rows_.size())) ? rows_[row].key : kNoRowKey;
}

int MemoryListView::FindLocked(RowKey key) const {
    for (std::size_t row = 0; key != kNoRowKey && row < rows_.size(); ++row) {
        if (rows_[row].key == key) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

int MemoryListView::RowOfKey(RowKey key) const {
    std::lock_guard lock(mutex_);
    return FindLocked(key);
}

void MemoryListView::SetImageOf(RowKey key, int image) {
    std::lock_guard lock(mutex_);
    ++writes_;
    if (int row = FindLocked(key); row >= 0) {
        rows_[row].image = image;
    }
}

void MemoryListView::SetTextOf(RowKey key, int column, const std::string& text) {
    std::lock_guard lock(mutex_);
    ++writes_;
    if (int row = FindLocked(key); row >= 0 && column >= 0 && column < columns_) {
        rows_[row].cells[column] = text;
    }
}

bool MemoryListView::DeleteRowOf(RowKey key) {
    std::lock_guard lock(mutex_);
    int row = FindLocked(key);
    if (row < 0) {
        return false;
    }
    rows_.erase(rows_.begin() + row);
    return true;
}

void MemoryListView::SetTipOf(RowKey key, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (int row = FindLocked(key); row >= 0) {
        rows_[row].tip = text;
    }
}

std::string MemoryListView::Tip(int row) const {
    std::lock_guard lock(mutex_);
    return (row >= 0 && row < static_cast<int>(rows_.size())) ? rows_[row].tip : "";
}

int MemoryListView::Image(int row) const {
    std::lock_guard lock(mutex_);
    return (row >= 0 && row < static_cast<int>(rows_.size())) ? rows_[row].image : -1;
}

int MemoryListView::WriteCount() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

}  // namespace tarvane::test
