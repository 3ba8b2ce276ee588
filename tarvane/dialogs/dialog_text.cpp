#include "tarvane/dialogs/dialog_text.h"

#include "platform/codepage.h"

namespace tarvane {

QString UiText(std::string_view ansi) {
    return QString::fromStdString(platform::Utf8FromAnsi(ansi));
}

std::string AnsiText(const QString& text) {
    return platform::AnsiFromUtf8(text.toStdString());
}

std::string AnsiLiteral(std::string_view utf8) {
    return platform::AnsiFromUtf8(utf8);
}

}  // namespace tarvane
