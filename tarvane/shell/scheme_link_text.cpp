#include "tarvane/shell/scheme_link_text.h"

#include <algorithm>
#include <cctype>

namespace tarvane {

namespace {

std::size_t FindEscape(std::string_view text, std::string_view escape, bool last) {
    auto equal = [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; };
    auto begin = text.begin();
    auto end = text.end();
    if (!last) {
        auto found = std::search(begin, end, escape.begin(), escape.end(), equal);
        return found == end ? std::string_view::npos : static_cast<std::size_t>(found - begin);
    }
    auto found = std::find_end(begin, end, escape.begin(), escape.end(), equal);
    return found == end ? std::string_view::npos : static_cast<std::size_t>(found - begin);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high = -1;
        int low = -1;
        if (text[i] == '%' && i + 2 < text.size() && (high = HexValue(text[i + 1])) >= 0 &&
            (low = HexValue(text[i + 2])) >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace

std::string DecodeSchemeLinkMarkers(std::string_view commandLine) {
    if (commandLine.find('>') != std::string_view::npos) {
        return std::string(commandLine);
    }
    std::size_t open = FindEscape(commandLine, "%3E", false);
    std::size_t close = FindEscape(commandLine, "%3C", true);
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 3) {
        return std::string(commandLine);
    }
    std::string_view page = commandLine.substr(open + 3, close - open - 3);
    std::string link = page.find("://") == std::string_view::npos ? PercentDecoded(page) : std::string(page);
    return std::string(commandLine.substr(0, open)) + ">" + link + "<" + std::string(commandLine.substr(close + 3));
}

}  // namespace tarvane
