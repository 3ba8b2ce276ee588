#pragma once

#include <QMessageBox>

namespace tarvane {

// Runs a message box of the programs: Chinese button texts, and wide enough that the window
// manager's title bar shows the whole caption beside its buttons. Answers exec()'s result.
int RunMessageBox(QMessageBox& box);

}  // namespace tarvane
