#include "tarvane/dialogs/clipboard_writer.h"

#include <QClipboard>
#include <QGuiApplication>

#include "tarvane/dialogs/dialog_text.h"

namespace tarvane {

bool ClipboardWriter::PutText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(UiText(text));
    return true;
}

}  // namespace tarvane
