#include "tarvane/dialogs/delete_confirm_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "platform/caption.h"
#include "tarvane/dialogs/dialog_units.h"

namespace tarvane {

DeleteConfirmDialog::DeleteConfirmDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(platform::kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(DialogTemplateFont());
    DialogUnits units;
    setFixedSize(units.X(164), units.Y(79));

    yes_ = new QPushButton(QString::fromUtf8("是(&Y)"), this);
    yes_->setGeometry(units.Rect(40, 58, 40, 14));
    yes_->setDefault(true);
    no_ = new QPushButton(QString::fromUtf8("否(&N)"), this);
    no_->setGeometry(units.Rect(96, 58, 40, 14));
    no_->setAutoDefault(false);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    QRect iconRect = units.Rect(7, 7, 20, 20);
    icon->setGeometry(iconRect);
    int side = std::min(iconRect.width(), iconRect.height());
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(side, side));

    auto* question = new QLabel(QString::fromUtf8("您确定要删除选定的任务吗？"), this);
    question->setGeometry(units.Rect(46, 16, 104, 12));
    question->adjustSize();

    deleteFile_ = new QCheckBox(QString::fromUtf8("同时删除文件"), this);
    deleteFile_->setGeometry(units.Rect(48, 38, 77, 11));
    deleteFile_->setChecked(false);

    connect(yes_, &QPushButton::clicked, this, &DeleteConfirmDialog::accept);
    connect(no_, &QPushButton::clicked, this, &DeleteConfirmDialog::reject);
}

void DeleteConfirmDialog::accept() {
    done(deleteFile_->isChecked() ? kDeleteWithFile : kDeleteKeepFile);
}

void DeleteConfirmDialog::reject() {
    done(kDeleteCancel);
}

int DeleteConfirmDialogAsker::Ask(QWidget* owner) {
    DeleteConfirmDialog dialog(owner);
    return dialog.exec();
}

}  // namespace tarvane
