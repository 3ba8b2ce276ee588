// ParseUrl and ExtensionFromUrl on arbitrary text, with the invariants of their results.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/url_parse.h"
#include "tarvane/engine/file_types.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool HasControl(std::string_view text) {
    for (char ch : text) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
            return true;
        }
    }
    return false;
}

const char* SchemeOf(platform::UrlService service) {
    switch (service) {
        case platform::UrlService::Http:
            return "http";
        case platform::UrlService::Https:
            return "https";
        case platform::UrlService::Ftp:
            return "ftp";
        default:
            return nullptr;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view url(reinterpret_cast<const char*>(data), size);
    std::optional<platform::ParsedUrl> parsed = platform::ParseUrl(url);
    std::string extension = tarvane::ExtensionFromUrl(url);
    if (!parsed) {
        Check(extension.empty(), "no URL, no extension");
        return 0;
    }
    const char* scheme = SchemeOf(parsed->service);
    Check(scheme != nullptr, "accepted scheme");
    Check(parsed->port != 0, "port");
    Check(!parsed->server.empty(), "server");
    Check(parsed->server.find_first_of("@/?# \\") == std::string::npos, "server holds no separators");
    Check(!parsed->object.empty() && parsed->object.front() == '/', "object starts with /");
    Check(!HasControl(parsed->server) && !HasControl(parsed->object), "no control characters");
    Check(extension.find_first_of("/?#") == std::string::npos, "extension from the last segment");
    Check(extension.empty() || parsed->object.find("." + extension) != std::string::npos, "extension from object");

    std::string rebuilt =
        std::string(scheme) + "://" + parsed->server + ":" + std::to_string(parsed->port) + parsed->object;
    std::optional<platform::ParsedUrl> again = platform::ParseUrl(rebuilt);
    Check(again.has_value(), "rebuilt URL parses");
    Check(again->service == parsed->service && again->server == parsed->server && again->port == parsed->port &&
              again->object == parsed->object,
          "rebuilt URL splits the same");
    return 0;
}
