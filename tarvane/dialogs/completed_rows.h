#pragma once

#include <string>

#include "tarvane/engine/list_view.h"

class QTableWidget;

namespace tarvane {

// The completed list's rows seen through the engine's list interface. Cells keep their code page
// 936 bytes beside the shown text, so lookups compare the stored bytes. Interface thread only.
class CompletedRows : public ListView {
public:
    explicit CompletedRows(QTableWidget& table) : table_(table) {}

    int InsertRow(int row, const std::string& text) override;
    void SetImage(int row, int image) override;
    void SetSubItemText(int row, int column, const std::string& text) override;
    std::string SubItemText(int row, int column) const override;
    bool DeleteRow(int row) override;
    int RowCount() const override;

private:
    QTableWidget& table_;
};

}  // namespace tarvane
