#include "selvik/notices.h"

#include <QMessageBox>

#include "desktop/qt_translations.h"
#include "platform/codepage.h"
#include "platform/link_handoff.h"

namespace selvik {

void MessageBoxNotices::Show(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(platform::kMainWindowTitle),
                    QString::fromStdString(platform::Utf8FromAnsi(text)), QMessageBox::Ok, owner_);
    tarvane::SetChineseButtonTexts(box);
    box.exec();
}

}  // namespace selvik
