#include "tarvane/shell/link_intake.h"

#include <cstdlib>

#include "platform/ansi_text.h"
#include "platform/desktop_folder.h"
#include "platform/settings.h"
#include "tarvane/shell/command_line_link.h"

namespace tarvane {

bool LinkIntake::Accepts(const std::string& link) {
    // A page listed or finished is known, whether or not the task files have taken it yet.
    return IsSupportedLink(link) && engine_.LocatePage(link) == kPageNew;
}

AddTaskRequest LinkIntake::RequestFor(const std::string& link) const {
    AddTaskRequest request;
    request.task.frmPge = link;
    request.task.fileLink = link;
    request.task.path = platform::Settings(programDirectory_).DefaultPath("");
    if (request.task.path.empty()) {
        request.task.path = platform::EnsureDefaultFolder().path;
    }
    request.resolve = 1;
    return request;
}

bool LinkIntake::OnCopyData(const platform::LinkHandoffRecord& record) {
    // Another process's bytes: made valid 936 text once, here, so the page key stays the same from
    // the task files to every later lookup.
    std::string link = platform::Valid936(record.link);
    if (!Accepts(link)) {
        return false;
    }
    AddTaskRequest request = RequestFor(link);
    request.task.name = platform::Valid936(record.name);
    request.task.agent = platform::Valid936(record.agent);
    if (record.useDefaultProxy != 0) {
        platform::ProxySettings proxy = platform::Settings(programDirectory_).DefaultProxy();
        request.task.prxIP = proxy.ip;
        request.task.prxPort = std::atoi(proxy.port.c_str());
        request.task.prxName = proxy.userName;
        request.task.prxPwd = proxy.userPwd;
    }
    engine_.AddTask(request);
    return true;
}

bool LinkIntake::AddTaskFromLink(const std::string& commandLineLink) {
    std::string link = platform::Valid936(commandLineLink);
    if (!Accepts(link)) {
        return false;
    }
    AddTaskRequest request = RequestFor(link);
    request.task.agent = kDefaultAgent;
    engine_.AddTask(request);
    return true;
}

}  // namespace tarvane
