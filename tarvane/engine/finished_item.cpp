#include "tarvane/engine/finished_item.h"

namespace tarvane {

CompletedItem FinishedItem(const DownloadTask& task, const std::tm& when) {
    CompletedItem item;
    item.name = task.name;
    item.size = task.size;
    item.type = task.type;
    item.frmPge = task.frmPge;
    item.fileLink = task.fileLink;
    item.path = task.path;
    if (item.path.empty() || item.path.back() != '/') {
        item.path += '/';
    }
    item.path += task.name + "." + task.type;
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &when);
    item.cmpTime = stamp;
    return item;
}

std::tm LocalTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace tarvane
