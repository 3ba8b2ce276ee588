#include "platform/url_parse.h"

#include "platform/ansi_text.h"

namespace platform {
namespace {

struct Scheme {
    std::string_view name;
    UrlService service;
    unsigned short defaultPort;
};

constexpr Scheme kSchemes[] = {
    {"http", UrlService::Http, 80},
    {"https", UrlService::Https, 443},
    {"ftp", UrlService::Ftp, 21},
};

bool IsControl(char ch) {
    return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
}

std::string_view TrimSurroundingSpace(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

bool IsHostName(std::string_view host) {
    constexpr std::string_view kForbidden = " \"<>\\^`{|}%[]@/?#:";
    if (host.empty()) {
        return false;
    }
    for (char ch : host) {
        if (IsControl(ch) || kForbidden.find(ch) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// "[...]" holding an IPv6 address (with an embedded IPv4 tail allowed).
bool IsIpv6Literal(std::string_view host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']') {
        return false;
    }
    std::string_view inner = host.substr(1, host.size() - 2);
    if (inner.find(':') == std::string_view::npos) {
        return false;
    }
    for (char ch : inner) {
        bool hex = (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (!hex && ch != ':' && ch != '.') {
            return false;
        }
    }
    return true;
}

// An empty text keeps the default port; anything but 1..65535 in decimal is no port.
std::optional<unsigned short> ParsePort(std::string_view text, unsigned short defaultPort) {
    if (text.empty()) {
        return defaultPort;
    }
    unsigned long value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned long>(ch - '0');
        if (value > 65535) {
            return std::nullopt;
        }
    }
    if (value == 0) {
        return std::nullopt;
    }
    return static_cast<unsigned short>(value);
}

}  // namespace

std::optional<ParsedUrl> ParseUrl(std::string_view url) {
    url = TrimSurroundingSpace(url);
    for (char ch : url) {
        if (IsControl(ch)) {
            return std::nullopt;
        }
    }
    std::size_t separator = url.find("://");
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    const Scheme* scheme = nullptr;
    for (const Scheme& candidate : kSchemes) {
        if (EqualsIgnoreCase936(url.substr(0, separator), candidate.name)) {
            scheme = &candidate;
        }
    }
    if (scheme == nullptr) {
        return std::nullopt;
    }

    std::string_view rest = url.substr(separator + 3);
    std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view object = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view userInfo = authority.substr(0, at);
        if (userInfo.find('@') != std::string_view::npos || userInfo.find('\\') != std::string_view::npos) {
            return std::nullopt;
        }
        authority.remove_prefix(at + 1);
    }

    std::string_view host;
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = authority.substr(0, close + 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            return std::nullopt;
        }
        portText = after.empty() ? after : after.substr(1);
        if (!IsIpv6Literal(host)) {
            return std::nullopt;
        }
    } else {
        std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        portText = colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1);
        if (!IsHostName(host)) {
            return std::nullopt;
        }
    }
    std::optional<unsigned short> port = ParsePort(portText, scheme->defaultPort);
    if (!port) {
        return std::nullopt;
    }

    ParsedUrl parsed;
    parsed.service = scheme->service;
    parsed.server = std::string(host);
    parsed.port = *port;
    bool needsSlash = object.empty() || object.front() != '/';
    parsed.object.reserve(object.size() + 1);
    parsed.object.append(needsSlash ? 1 : 0, '/');
    parsed.object.append(object);
    return parsed;
}

}  // namespace platform
