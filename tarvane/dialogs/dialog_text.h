#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarvane {

// Code page 936 text in memory, UTF-8 in Qt: the two directions at the widget boundary.
QString UiText(std::string_view ansi);
std::string AnsiText(const QString& text);

// Chinese literals of the sources are UTF-8; the engine and config.ini want 936.
std::string AnsiLiteral(std::string_view utf8);

}  // namespace tarvane
