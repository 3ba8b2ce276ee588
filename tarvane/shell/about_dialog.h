#pragma once

#include <QDialog>
#include <string>

namespace tarvane {

class UrlLauncher;

// The About box: program name and version, and the official site as a link.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    AboutDialog(const std::string& officialSite, UrlLauncher& launcher, QWidget* parent = nullptr);
};

}  // namespace tarvane
