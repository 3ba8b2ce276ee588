#include "tarvane/dialogs/folder_picker.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

#include "platform/codepage.h"
#include "tarvane/dialogs/dialog_text.h"

namespace tarvane {

namespace {

// Qt's file model names a folder's type "Folder" and writes dates as the C locale does, which no
// catalogue translates: the folder list shows both in Chinese.
class ChineseFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        enum { kTypeColumn = 2, kDateColumn = 3 };
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files != nullptr && role == Qt::DisplayRole) {
            QModelIndex source = mapToSource(index);
            if (index.column() == kTypeColumn && files->isDir(source)) {
                return QString::fromUtf8("文件夹");
            }
            if (index.column() == kDateColumn) {
                return QLocale(QLocale::Chinese, QLocale::China)
                    .toString(files->lastModified(source), QLocale::ShortFormat);
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

void SetUpFolderDialog(QFileDialog& dialog) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setProxyModel(new ChineseFileColumns(&dialog));
}

std::optional<std::string> QtFolderPicker::PickFolder(const std::string& title, QWidget* owner) {
    // exec() runs its own event loop, so the owner keeps painting and answering while it waits.
    QFileDialog dialog(owner, UiText(title));
    SetUpFolderDialog(dialog);
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
