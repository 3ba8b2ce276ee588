#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Service types of a split URL, numbered like the Windows internet service constants.
enum class UrlService {
    Unknown = 0,
    Ftp = 1,
    Gopher = 2,
    Http = 3,
    Https = 4,
    File = 5,
    Nntp = 6,
    Telnet = 7,
    Mailto = 8,
};

struct ParsedUrl {
    UrlService service = UrlService::Unknown;
    std::string server;      // host name, without user info or port
    std::string object;      // path with query and fragment, "/" when the URL has none
    unsigned short port = 0; // explicit port, else the scheme's default
};

// Splits a URL of one of the accepted schemes; nothing for any other text.
std::optional<ParsedUrl> ParseUrl(std::string_view url);

}  // namespace platform
