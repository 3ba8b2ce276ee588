#pragma once

#include <QString>

class QCoreApplication;
class QMessageBox;

namespace tarvane {

// Installs Qt's own Simplified Chinese texts (buttons, file dialogs, web page menus) from `folder`
// (Qt's translations folder when empty). Answers how many catalogues were found; the programs run in
// English Qt texts without them.
int InstallChineseQtTranslations(QCoreApplication& app, const QString& folder = {});

// Gives the box's standard buttons the texts of the programs' own dialogs (确定, 取消, 是, 否), which
// hold also where Qt's catalogue is missing.
void SetChineseButtonTexts(QMessageBox& box);

}  // namespace tarvane
