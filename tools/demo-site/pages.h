#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/demo-site/catalogue.h"
#include "tools/demo-site/html.h"

namespace tarvane::demo {

// The official site.
std::string OfficialHomePage(const SiteLinks& links);
std::string MainWindowNavPage(const SiteLinks& links);  // the main window's 202 x 437 web pane
std::string HelpPage(const SiteLinks& links);

// The game portal.
std::string PortalHomePage(const SiteLinks& links);
std::string CategoryPage(const SiteLinks& links, const Category& category);
std::string GamePage(const SiteLinks& links, const Game& game);

// A table of games with their page, category, size and tarvane link.
std::string GameTable(const SiteLinks& links, const std::vector<const Game*>& games);

// The small-games site.
std::string MinigameHomePage(const SiteLinks& links);
std::string SearchPage(const SiteLinks& links, std::string_view keywords);
// Games whose name, category name or file name holds `keywords` (all games for empty keywords).
std::vector<const Game*> SearchGames(std::string_view keywords);

std::string NotFoundPage(const SiteLinks& links, std::string_view path);

// The game page link a browser hands to tarvane: "tarvane:%3EPAGE%3C". Browsers refuse
// "tarvane://>PAGE<" (no host can hold ">") and pass the markers percent-encoded either way.
std::string TarvaneLink(const SiteLinks& links, const Game& game);

}  // namespace tarvane::demo
