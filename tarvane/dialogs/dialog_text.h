#pragma once

#include <string>
#include <string_view>

#include "desktop/qt_text.h"

namespace tarvane {

// Chinese literals of the sources are UTF-8; the engine and config.ini want 936.
std::string AnsiLiteral(std::string_view utf8);

}  // namespace tarvane
