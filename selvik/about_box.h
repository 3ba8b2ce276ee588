#pragma once

#include <QDialog>
#include <QIcon>

namespace selvik {

// The program's icon, drawn here at the usual sizes.
QIcon ProgramIcon();

// "关于 glimra": the icon, the name and version, an OK button.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace selvik
