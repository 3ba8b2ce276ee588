#include "tarvane/dialogs/password_prompt.h"

#include <QInputDialog>
#include <QLineEdit>

#include "tarvane/dialogs/dialog_text.h"

namespace tarvane {

std::optional<std::string> QtPasswordPrompt::AskPassword(const std::string& label, const std::string& caption,
                                                         QWidget* owner) {
    bool ok = false;
    QString typed = QInputDialog::getText(owner, UiText(caption), UiText(label), QLineEdit::Password, {}, &ok);
    if (!ok || typed.isEmpty()) {
        return std::nullopt;
    }
    return AnsiText(typed);
}

}  // namespace tarvane
