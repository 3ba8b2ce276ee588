#include "tarvane/dialogs/completed_rows.h"

#include <QTableWidget>
#include <algorithm>

#include "tarvane/dialogs/dialog_text.h"

namespace tarvane {

namespace {

constexpr int kBytesRole = Qt::UserRole;

QTableWidgetItem* MakeItem(const std::string& text) {
    auto* item = new QTableWidgetItem(UiText(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setData(kBytesRole, QByteArray::fromStdString(text));
    return item;
}

}  // namespace

int CompletedRows::InsertRow(int row, const std::string& text) {
    row = std::clamp(row, 0, table_.rowCount());
    table_.insertRow(row);
    table_.setItem(row, 0, MakeItem(text));
    return row;
}

void CompletedRows::SetImage(int, int) {
    // The completed list shows no images.
}

void CompletedRows::SetSubItemText(int row, int column, const std::string& text) {
    if (row < 0 || row >= table_.rowCount() || column < 0 || column >= table_.columnCount()) {
        return;
    }
    table_.setItem(row, column, MakeItem(text));
}

std::string CompletedRows::SubItemText(int row, int column) const {
    const QTableWidgetItem* item = table_.item(row, column);
    return item == nullptr ? std::string() : item->data(kBytesRole).toByteArray().toStdString();
}

bool CompletedRows::DeleteRow(int row) {
    if (row < 0 || row >= table_.rowCount()) {
        return false;
    }
    table_.removeRow(row);
    return true;
}

int CompletedRows::RowCount() const {
    return table_.rowCount();
}

}  // namespace tarvane
