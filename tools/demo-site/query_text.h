#pragma once

#include <string>
#include <string_view>

namespace tarvane::demo {

// The raw value of `name` in a request target's query ("...?a=1&name=VALUE&..."), not decoded;
// empty when missing.
std::string_view RawQueryValue(std::string_view target, std::string_view name);

// A query value as UTF-8: "%XX" decoded, "+" read as a blank; bytes that are no valid UTF-8 are taken
// as code page 936, which is what a program of this system sends when it does not escape its text.
std::string SearchText(std::string_view rawValue);

}  // namespace tarvane::demo
