#include "tarvane/dialogs/dialog_text.h"

#include "platform/codepage.h"

namespace tarvane {

std::string AnsiLiteral(std::string_view utf8) {
    return platform::AnsiFromUtf8(utf8);
}

}  // namespace tarvane
