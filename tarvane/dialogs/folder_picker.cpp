#include "tarvane/dialogs/folder_picker.h"

#include <QFileDialog>

#include "platform/codepage.h"
#include "tarvane/dialogs/dialog_text.h"

namespace tarvane {

std::optional<std::string> QtFolderPicker::PickFolder(const std::string& title, QWidget* owner) {
    // exec() runs its own event loop, so the owner keeps painting and answering while it waits.
    QFileDialog dialog(owner, UiText(title));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    std::string utf8 = dialog.selectedFiles().first().toStdString();
    std::string ansi = platform::AnsiFromUtf8(utf8);
    // A folder whose name has no 936 form would come back as another folder: count it as no choice.
    if (utf8.empty() || platform::Utf8FromAnsi(ansi) != utf8) {
        return std::nullopt;
    }
    return ansi;
}

}  // namespace tarvane
