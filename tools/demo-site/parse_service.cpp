#include "tools/demo-site/parse_service.h"

#include <charconv>

#include "platform/codepage.h"
#include "tarvane/engine/base64.h"
#include "tools/demo-site/catalogue.h"

namespace tarvane::demo {

int GameIdOfPageLink(std::string_view link) {
    std::size_t scheme = link.find("://");
    if (scheme == std::string_view::npos) {
        return 0;
    }
    std::string_view rest = link.substr(scheme + 3);
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        return 0;
    }
    std::string_view path = rest.substr(slash);
    path = path.substr(0, path.find_first_of("?#"));
    constexpr std::string_view kPrefix = "/game/";
    constexpr std::string_view kSuffix = ".htm";
    if (path.size() <= kPrefix.size() + kSuffix.size() || !path.starts_with(kPrefix) || !path.ends_with(kSuffix)) {
        return 0;
    }
    std::string_view digits = path.substr(kPrefix.size(), path.size() - kPrefix.size() - kSuffix.size());
    int id = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (error != std::errc() || end != digits.data() + digits.size() || FindGame(id) == nullptr) {
        return 0;
    }
    return id;
}

std::string ParseServiceReply(const SiteLinks& links, std::string_view queryValue) {
    static constexpr std::string_view kLead = "0123456789ABCDEFabcdef";
    std::string pageLink;
    if (!queryValue.empty()) {
        Base64Decode(queryValue.substr(1), pageLink);
    }
    const Game* game = FindGame(GameIdOfPageLink(pageLink));
    if (game == nullptr) {
        return "0";
    }
    std::string answer = links.portal + GameFilePath(*game) + "|||" + platform::AnsiFromUtf8(game->name);
    return kLead[static_cast<std::size_t>(game->id) % kLead.size()] + Base64Encode(answer);
}

}  // namespace tarvane::demo
