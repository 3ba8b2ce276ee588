#include "desktop/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>

#include "desktop/qt_translations.h"

namespace tarvane {

namespace {

// A title bar's window icon and its minimise, maximise and close buttons with their spacing: Qt
// itself leaves only 50 pixels beside the caption, and window managers such as openbox need more.
constexpr int kTitleBarButtons = 140;

}  // namespace

int RunMessageBox(QMessageBox& box) {
    SetChineseButtonTexts(box);
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    int wanted = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtons;
    // The box sets its own fixed size from its layout when shown; a spacer across the layout
    // carries the width into it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box.exec();
}

}  // namespace tarvane
