#pragma once

#include <string>
#include <string_view>

#include "desktop/qt_text.h"

namespace tarvane {

// Chinese literals of the sources are UTF-8; the engine and config.ini want 936.
std::string AnsiLiteral(std::string_view utf8);

// Why a file could not be written or removed, in a few words, from the errno of the failure.
std::string FileErrorText(int error);

}  // namespace tarvane
