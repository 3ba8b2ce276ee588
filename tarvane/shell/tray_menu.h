#pragma once

#include <memory>

class QMenu;
class QWidget;

namespace tarvane {

// The tray icon's id and the mouse messages its notifications carry.
inline constexpr int kTrayIconId = 128;
inline constexpr int kMouseLeftButtonUp = 514;
inline constexpr int kMouseRightButtonUp = 517;

enum TrayCommand : int {
    kTrayShowWindow = 5000,
    kTrayOfficialSite = 5001,
    kTrayExit = 5002,
    kTrayChooseGame = 5003,
    kTrayHelp = 5004,
    kTrayCheckUpdate = 5005,
};

// The tray menu, built anew for each right click; each action's data is its command.
std::unique_ptr<QMenu> BuildTrayMenu(QWidget* parent);

}  // namespace tarvane
