#include "tarvane/dialogs/dialog_text.h"

#include <cerrno>

#include "platform/codepage.h"

namespace tarvane {

std::string AnsiLiteral(std::string_view utf8) {
    return platform::AnsiFromUtf8(utf8);
}

std::string FileErrorText(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return AnsiLiteral("没有权限");
        case EROFS:
            return AnsiLiteral("文件夹只读");
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return AnsiLiteral("磁盘已满");
        case EISDIR:
            return AnsiLiteral("这是一个文件夹");
        default:
            return AnsiLiteral("错误代码 ") + std::to_string(error);
    }
}

}  // namespace tarvane
