#include "tools/demo-site/pages.h"

#include <algorithm>
#include <cctype>

namespace tarvane::demo {

namespace {

constexpr std::string_view kMinigameName = "Quellora 小游戏库";
// Games below this size count as small games.
constexpr std::uint64_t kSmallGameBytes = 50ull * 1024 * 1024;

std::string SearchForm(std::string_view keywords) {
    return "<form action=\"/search_fromSoft/\" method=\"get\"><input name=\"keywords\" value=\"" +
           EscapeHtml(keywords) + "\" placeholder=\"搜索游戏\"> <button type=\"submit\">搜游戏</button></form>\n";
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

std::vector<const Game*> SearchGames(std::string_view keywords) {
    std::string needle = LowerAscii(keywords);
    std::vector<const Game*> found;
    for (const Game& game : Games()) {
        const Category* category = FindCategory(game.category);
        if (LowerAscii(game.name).find(needle) != std::string::npos ||
            LowerAscii(game.slug).find(needle) != std::string::npos ||
            (category != nullptr && LowerAscii(category->name).find(needle) != std::string::npos)) {
            found.push_back(&game);
        }
    }
    return found;
}

std::string MinigameHomePage(const SiteLinks& links) {
    std::vector<const Game*> small;
    for (const Game& game : Games()) {
        if (game.size < kSmallGameBytes) {
            small.push_back(&game);
        }
    }
    std::string body = "<h1>小游戏库</h1>\n<p>体积小、下载快、随时玩。</p>\n" + SearchForm("") + "<h2>小游戏</h2>\n" +
                       GameTable(links, small);
    return HtmlPage(links, kMinigameName, "Quellora 小游戏库", body);
}

std::string SearchPage(const SiteLinks& links, std::string_view keywords) {
    std::vector<const Game*> found = SearchGames(keywords);
    std::string body = "<h1>搜索游戏</h1>\n" + SearchForm(keywords);
    if (found.empty()) {
        body += "<p>没有找到与“" + EscapeHtml(keywords) + "”相关的游戏。</p>\n";
    } else {
        body += "<p>找到 " + std::to_string(found.size()) + " 个与“" + EscapeHtml(keywords) + "”相关的游戏：</p>\n" +
                GameTable(links, found);
    }
    return HtmlPage(links, kMinigameName, std::string(keywords) + " - 搜索 - Quellora 小游戏库", body);
}

}  // namespace tarvane::demo
