#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarvane {

// Code page 936 text in memory, UTF-8 in Qt: the two directions at the widget boundary.
QString UiText(std::string_view ansi);
std::string AnsiText(const QString& text);

}  // namespace tarvane
