#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows code page numbers used across the programs. Text in memory is narrow code page 936.
inline constexpr unsigned kAnsiCodePage = 936;
inline constexpr unsigned kUtf16LeCodePage = 1200;
inline constexpr unsigned kUtf16BeCodePage = 1201;
inline constexpr unsigned kUtf32LeCodePage = 12000;
inline constexpr unsigned kUtf32BeCodePage = 12001;
inline constexpr unsigned kUtf8CodePage = 65001;

// The iconv name that stands for a Windows code page, or empty when iconv on this machine
// cannot convert it (such a code page counts as unrecognised).
std::string IconvNameForCodePage(unsigned codePage);

// MultiByteToWideChar: bytes in `codePage` to UTF-16 code units. Bytes that are not valid in the
// code page become U+FFFD. An unsupported code page gives an empty result and `ok` false.
std::u16string MultiByteToWide(unsigned codePage, std::string_view bytes, bool* ok = nullptr);

// WideCharToMultiByte: UTF-16 code units to bytes in `codePage`. A character without a
// representation becomes '?' and sets *usedDefaultChar. Lone surrogates count as such characters.
std::string WideToMultiByte(unsigned codePage, std::u16string_view text, bool* usedDefaultChar = nullptr,
                            bool* ok = nullptr);

// Code page to code page through UTF-16.
std::string ConvertCodePage(unsigned fromCodePage, unsigned toCodePage, std::string_view bytes,
                            bool* usedDefaultChar = nullptr);

// The OS boundary: file names, process arguments, UI text are UTF-8 there, 936 in memory.
std::string Utf8FromAnsi(std::string_view ansi);
std::string AnsiFromUtf8(std::string_view utf8);

}  // namespace platform
