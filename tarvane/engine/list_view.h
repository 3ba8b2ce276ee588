#pragma once

#include <string>

#include "tarvane/engine/task_record.h"

namespace tarvane {

// The rows the engine and the task files write into. The GUI implements it on a Qt model and
// serves every call on the interface thread before it returns; tests keep the rows in memory.
class ListView {
public:
    virtual ~ListView() = default;

    // Inserts a row at `row` (clamped to the row count) with `text` in column 0; answers its index.
    virtual int InsertRow(int row, const std::string& text) = 0;
    virtual void SetImage(int row, int image) = 0;
    virtual void SetSubItemText(int row, int column, const std::string& text) = 0;
    // Text of a cell; empty for a row or column that does not exist.
    virtual std::string SubItemText(int row, int column) const = 0;
    // Removes a row; later rows move up by one. False when the row does not exist.
    virtual bool DeleteRow(int row) = 0;
    virtual int RowCount() const = 0;
};

// The task list: rows with keys. The keyed writes look the row up where they are served, so a write
// for a row that moved lands on it and one for a row that left the list lands nowhere.
class TaskListView : public ListView {
public:
    // kNoRowKey when the row does not exist.
    virtual RowKey KeyOfRow(int row) const = 0;
    // -1 when the row has left the list.
    virtual int RowOfKey(RowKey key) const = 0;
    virtual void SetImageOf(RowKey key, int image) = 0;
    virtual void SetTextOf(RowKey key, int column, const std::string& text) = 0;
    virtual bool DeleteRowOf(RowKey key) = 0;
    // The text shown when the pointer rests on the row (why a task failed); empty for none.
    virtual void SetTipOf(RowKey key, const std::string& text) = 0;
};

}  // namespace tarvane
