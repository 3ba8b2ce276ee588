#pragma once

#include <string>

namespace tarvane {

// Rows of text that the task files fill: the list of finished downloads. The GUI implements it on a
// Qt model on the interface thread; tests keep the rows in memory.
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

}  // namespace tarvane
