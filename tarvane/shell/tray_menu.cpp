#include "tarvane/shell/tray_menu.h"

#include <QMenu>

namespace tarvane {

std::unique_ptr<QMenu> BuildTrayMenu(QWidget* parent) {
    auto menu = std::make_unique<QMenu>(parent);
    auto add = [&menu](int command, const char* text) { menu->addAction(QString::fromUtf8(text))->setData(command); };
    add(kTrayShowWindow, "显示主窗口");
    menu->addSeparator();
    add(kTrayChooseGame, "选择游戏");
    add(kTrayHelp, "下载帮助");
    add(kTrayOfficialSite, "访问官网");
    menu->addSeparator();
    add(kTrayCheckUpdate, "检查升级");
    menu->addSeparator();
    add(kTrayExit, "退出");
    return menu;
}

}  // namespace tarvane
