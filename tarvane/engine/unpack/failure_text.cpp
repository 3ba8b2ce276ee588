#include "platform/codepage.h"
#include "tarvane/engine/game_unpack.h"

namespace tarvane {

std::string UnpackFailureText(const UnpackResult& result) {
    auto ansi = [](const char* utf8) { return platform::AnsiFromUtf8(utf8); };
    switch (result.outcome) {
        case UnpackOutcome::Done:
        case UnpackOutcome::Stopped:
        case UnpackOutcome::NotArchive:
            return {};
        case UnpackOutcome::PartMissing:
            return ansi("缺少分卷：") + result.missingPart;
        case UnpackOutcome::UnsafePath:
            return ansi("压缩包中有不安全的路径");
        case UnpackOutcome::NoRoom:
            return ansi("解压所需空间不足");
        case UnpackOutcome::Bomb:
            return ansi("压缩包疑似恶意（解压后过大）");
        case UnpackOutcome::NeedPassword:
            return ansi("需要密码");
        case UnpackOutcome::WrongPassword:
            return ansi("密码错误");
        case UnpackOutcome::Damaged:
            return ansi("压缩包已损坏，无法解压");
        case UnpackOutcome::WriteFailed:
            return ansi("解压的文件无法写入");
    }
    return {};
}

}  // namespace tarvane
