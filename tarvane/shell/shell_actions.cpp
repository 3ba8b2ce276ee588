#include "tarvane/shell/shell_actions.h"

#include <sys/stat.h>

#include "platform/caption.h"
#include "platform/codepage.h"

namespace tarvane {

void ShellActions::LaunchUpdater() {
    std::string updater = platform::Utf8FromAnsi(programDirectory_ + "updater");
    struct stat info {};
    if (stat(updater.c_str(), &info) != 0) {
        messages_.Show(platform::AnsiFromUtf8("没有找到升级程序，您的Quellora可能已被破坏，请到官网下载最新版本，"
                                              "以保证您安全正常地使用正版软件！"),
                       platform::kCaption, MessageButtons::Ok);
        OpenOfficialSite();
        return;
    }
    starter_.Start(updater, {});
}

void ShellActions::OpenOfficialSite() {
    desktop_.OpenWebPage(OfficialPage("/"));
}

void ShellActions::OpenInGameBrowser(const std::string& address) {
    starter_.Start(platform::Utf8FromAnsi(programDirectory_ + "selvik"), {platform::Utf8FromAnsi(address)});
}

}  // namespace tarvane
