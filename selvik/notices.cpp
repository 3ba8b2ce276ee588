#include "selvik/notices.h"

#include <QMessageBox>

#include "desktop/message_box.h"
#include "desktop/qt_text.h"
#include "platform/caption.h"

namespace selvik {

void MessageBoxNotices::Show(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(platform::kCaption), tarvane::UiText(text),
                    QMessageBox::Ok, owner_);
    tarvane::RunMessageBox(box);
}

}  // namespace selvik
