#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvane::demo {

// Base addresses ("http://HOST:PORT") of the three sites, for links from one site to another.
struct SiteLinks {
    std::string official;
    std::string portal;
    std::string minigame;
};

std::string EscapeHtml(std::string_view text);

// A whole page in UTF-8: shared style, a header naming the site with links to the others, the body.
std::string HtmlPage(const SiteLinks& links, std::string_view siteName, std::string_view title, std::string_view body);

// Size of a game file the way the portal shows it, e.g. "186.0 MB".
std::string DisplaySize(std::uint64_t bytes);

}  // namespace tarvane::demo
