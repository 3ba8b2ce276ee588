#include "tarvane/engine/task_menu.h"

#include "platform/codepage.h"

namespace tarvane {

std::vector<TaskMenuItem> TaskMenuFor(int state) {
    if (state < 1 || state > 4) {
        return {};
    }
    bool running = state == 1;
    bool stopped = state == 2 || state == 3;
    bool done = state == 4;
    auto item = [](int command, const char* utf8, bool enabled) {
        return TaskMenuItem{command, platform::AnsiFromUtf8(utf8), enabled};
    };
    return {
        item(kCommandStart, "开始下载", stopped),
        item(kCommandPause, "暂停下载", running),
        item(kCommandDelete, "删除任务", true),
        TaskMenuItem{},
        item(kCommandPlay, "播放", done),
        item(kCommandOpenFile, "打开文件", done),
        item(kCommandOpenFolder, "打开文件夹", true),
        TaskMenuItem{},
        item(kCommandCopyLink, "复制下载地址", true),
        item(kCommandBrowsePage, "浏览来源页面", true),
        TaskMenuItem{},
        item(kCommandProperties, "属性", true),
    };
}

}  // namespace tarvane
