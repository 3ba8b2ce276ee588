#include "tools/demo-site/query_text.h"

#include "platform/codepage.h"

namespace tarvane::demo {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

std::string_view RawQueryValue(std::string_view target, std::string_view name) {
    std::size_t question = target.find('?');
    if (question == std::string_view::npos) {
        return {};
    }
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
            return pair.substr(name.size() + 1);
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return {};
}

std::string SearchText(std::string_view rawValue) {
    std::string bytes;
    for (std::size_t i = 0; i < rawValue.size(); ++i) {
        if (rawValue[i] == '+') {
            bytes += ' ';
        } else if (rawValue[i] == '%' && i + 2 < rawValue.size() && HexDigit(rawValue[i + 1]) >= 0 &&
                   HexDigit(rawValue[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(rawValue[i + 1]) * 16 + HexDigit(rawValue[i + 2]));
            i += 2;
        } else {
            bytes += rawValue[i];
        }
    }
    return IsUtf8(bytes) ? bytes : platform::Utf8FromAnsi(bytes);
}

}  // namespace tarvane::demo
