#include "tarvane/shell/command_line_link.h"

#include "platform/url_parse.h"

namespace tarvane {

std::optional<std::string> ExtractCommandLineLink(std::string_view commandLine) {
    if (commandLine.size() <= 10) {
        return std::nullopt;
    }
    auto open = commandLine.find('>');
    auto close = commandLine.rfind('<');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open || close - open <= 7) {
        return std::nullopt;
    }
    std::string_view link = commandLine.substr(open + 1, close - open - 1);
    auto first = link.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::string();
    }
    auto last = link.find_last_not_of(' ');
    return std::string(link.substr(first, last - first + 1));
}

std::string CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text += ' ';
        }
        text += argv[i];
    }
    return text;
}

bool IsSupportedLink(const std::string& link) {
    auto parsed = platform::ParseUrl(link);
    if (!parsed) {
        return false;
    }
    switch (parsed->service) {
        case platform::UrlService::Ftp:
        case platform::UrlService::Gopher:
        case platform::UrlService::Http:
        case platform::UrlService::Https:
        case platform::UrlService::File:
        case platform::UrlService::Telnet:
            return true;
        default:
            return false;
    }
}

}  // namespace tarvane
