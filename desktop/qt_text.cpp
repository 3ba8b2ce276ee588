#include "desktop/qt_text.h"

#include "platform/codepage.h"

namespace tarvane {

QString UiText(std::string_view ansi) {
    return QString::fromStdString(platform::Utf8FromAnsi(ansi));
}

std::string AnsiText(const QString& text) {
    return platform::AnsiFromUtf8(text.toStdString());
}

}  // namespace tarvane
