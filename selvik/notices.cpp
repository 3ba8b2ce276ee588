#include "selvik/notices.h"

#include <QMessageBox>

#include "platform/codepage.h"
#include "platform/link_handoff.h"

namespace selvik {

void MessageBoxNotices::Show(const std::string& text) {
    QMessageBox::warning(owner_, QString::fromLatin1(platform::kMainWindowTitle),
                         QString::fromStdString(platform::Utf8FromAnsi(text)), QMessageBox::Ok);
}

}  // namespace selvik
