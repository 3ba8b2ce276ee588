#include "tarvane/shell/link_intake.h"

#include <cstdlib>

#include "platform/desktop_folder.h"
#include "platform/settings_file.h"
#include "tarvane/shell/command_line_link.h"

namespace tarvane {

bool LinkIntake::Accepts(const std::string& link) {
    // Listed or kept in memory counts as known too: the files may not have taken it.
    return IsSupportedLink(link) && files_.LocatePage(programDirectory_, link) == kPageNew &&
           !commands_.KnowsPage(link);
}

AddTaskRequest LinkIntake::RequestFor(const std::string& link) const {
    platform::SettingsFile settings(programDirectory_ + "config.ini");
    AddTaskRequest request;
    request.task.frmPge = link;
    request.task.fileLink = link;
    request.task.path = settings.ReadString("options", "defaultPath", platform::DesktopFolder(), 3000);
    request.resolve = 1;
    request.row = 0;
    return request;
}

bool LinkIntake::OnCopyData(const platform::LinkHandoffRecord& record) {
    if (!Accepts(record.link)) {
        return false;
    }
    AddTaskRequest request = RequestFor(record.link);
    request.task.name = record.name;
    request.task.agent = record.agent;
    if (record.useDefaultProxy != 0) {
        platform::SettingsFile settings(programDirectory_ + "config.ini");
        request.task.prxIP = settings.ReadString("defaultPxy", "ip", "127.0.0.1", 260);
        request.task.prxPort = std::atoi(settings.ReadString("defaultPxy", "port", "8000", 260).c_str());
        request.task.prxName = settings.ReadString("defaultPxy", "userName", "", 260);
        request.task.prxPwd = settings.ReadString("defaultPxy", "userPwd", "", 260);
    }
    commands_.AddTask(request);
    return true;
}

bool LinkIntake::AddTaskFromLink(const std::string& link) {
    if (!Accepts(link)) {
        return false;
    }
    AddTaskRequest request = RequestFor(link);
    request.task.agent = kDefaultAgent;
    commands_.AddTask(request);
    return true;
}

}  // namespace tarvane
