#include "tarvane/shell/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "tarvane/shell/controls/link_label.h"

namespace tarvane {

AboutDialog::AboutDialog(const std::string& officialSite, UrlLauncher& launcher, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("关于 Quellora"));
    auto* layout = new QVBoxLayout(this);
    auto* version = new QLabel(QString::fromUtf8("Quellora 1.0正式版"), this);
    version->setObjectName(QStringLiteral("version"));
    layout->addWidget(version);
    QString site = QString::fromStdString(officialSite);
    auto* link = new CLinkLabel(site, QRect(0, 0, 200, 16), 1037, launcher, this);
    link->SetLinkUrl(site);
    link->SetUnderlineMode(1);
    link->openInNewWindow = true;
    layout->addWidget(link);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace tarvane
