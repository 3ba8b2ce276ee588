#include "tarvane/shell/default_folder_notice.h"

#include "platform/caption.h"
#include "platform/codepage.h"
#include "platform/desktop_folder.h"
#include "platform/settings.h"

namespace tarvane {

std::string ReadyDefaultFolder(const std::string& programDirectory, MessageBoxes& messages) {
    if (!platform::Settings(programDirectory).DefaultPath("").empty()) {
        return platform::DesktopFolder();
    }
    platform::DefaultFolder folder = platform::EnsureDefaultFolder();
    if (folder.state == platform::FolderState::Unavailable) {
        messages.Show(platform::AnsiFromUtf8("桌面文件夹“" + platform::Utf8FromAnsi(folder.path) +
                                             "”不存在且无法创建，下载文件夹也无法使用。请在“设置”中选择默认下载路径。"),
                      platform::kCaption, MessageButtons::Ok);
    }
    return folder.path;
}

}  // namespace tarvane
