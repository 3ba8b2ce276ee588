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
    std::string server;       // host name, without user info or port
    std::string object;       // path with query and fragment, "/" when the URL has none
    unsigned short port = 0;  // explicit port, else the scheme's default
};

// Splits a URL of the form scheme://[user[:password]@]host[:port][/path][?query][#fragment].
//
// Schemes: http (port 80), https (443) and ftp (21), in any case; every other scheme, a URL without
// "//" after the scheme, and text that is no URL give nothing.
// Blanks and line breaks around the URL are ignored; control characters inside it reject it, blanks
// inside are allowed in the path only.
// server: the host as written (case kept); an IPv6 address keeps its brackets, "[::1]", so that it
// can be put back into a URL. It must not be empty and must not hold blanks, '\\', '%' or any of
// "<>^`{|}. User info is dropped; an authority with more than one '@' is rejected, so that no two
// readers of the URL can disagree on the host.
// port: 1 to 65535 in decimal (leading zeros allowed); an empty port ("host:") means the default;
// 0, letters or a larger number reject the URL.
// object: everything from the first '/', '?' or '#' after the host, unchanged (no decoding); a "/" is
// put in front of a bare query or fragment, and an empty path gives "/".
std::optional<ParsedUrl> ParseUrl(std::string_view url);

}  // namespace platform
