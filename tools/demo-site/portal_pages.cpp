#include "tools/demo-site/pages.h"

namespace tarvane::demo {

namespace {

constexpr std::string_view kPortalName = "Quellora 游戏门户";

std::string CategoryNav(const SiteLinks& links) {
    std::string nav = "<nav class=\"categories\">";
    for (const Category& category : Categories()) {
        nav += "<a href=\"" + EscapeHtml(links.portal + CategoryPath(category.number)) + "\">" +
               EscapeHtml(category.name) + "</a>";
    }
    return nav + "</nav>\n";
}

std::string SearchForm(const SiteLinks& links) {
    return "<form action=\"" + EscapeHtml(links.minigame) +
           "/search_fromSoft/\" method=\"get\"><input name=\"keywords\" placeholder=\"搜索游戏\"> "
           "<button type=\"submit\">搜游戏</button></form>\n";
}

}  // namespace

std::string TarvaneLink(const SiteLinks& links, const Game& game) {
    return "tarvane:%3E" + links.portal + GamePagePath(game) + "%3C";
}

std::string GameTable(const SiteLinks& links, const std::vector<const Game*>& games) {
    std::string table = "<table>\n<tr><th>游戏</th><th>类别</th><th>大小</th><th></th></tr>\n";
    for (const Game* game : games) {
        const Category* category = FindCategory(game->category);
        table += "<tr><td><a href=\"" + EscapeHtml(links.portal + GamePagePath(*game)) + "\">" +
                 EscapeHtml(game->name) + "</a></td><td>" + EscapeHtml(category ? category->name : "") + "</td><td>" +
                 DisplaySize(game->size) + "</td><td><a href=\"" + EscapeHtml(TarvaneLink(links, *game)) +
                 "\">用 tarvane 下载</a></td></tr>\n";
    }
    return table + "</table>\n";
}

std::string PortalHomePage(const SiteLinks& links) {
    std::string body = "<h1>单机游戏，一站下载</h1>\n" + CategoryNav(links) + SearchForm(links);
    for (const Category& category : Categories()) {
        std::vector<const Game*> games;
        for (const Game& game : Games()) {
            if (game.category == category.number && games.size() < 2) {
                games.push_back(&game);
            }
        }
        body += "<h2><a href=\"" + EscapeHtml(CategoryPath(category.number)) + "\">" + EscapeHtml(category.name) +
                "</a></h2>\n" + GameTable(links, games);
    }
    return HtmlPage(links, kPortalName, "Quellora 游戏门户", body);
}

std::string CategoryPage(const SiteLinks& links, const Category& category) {
    std::vector<const Game*> games;
    for (const Game& game : Games()) {
        if (game.category == category.number) {
            games.push_back(&game);
        }
    }
    std::string body = CategoryNav(links) + "<h1>" + EscapeHtml(category.name) + "</h1>\n<p>" +
                       EscapeHtml(category.blurb) + "</p>\n" + GameTable(links, games);
    return HtmlPage(links, kPortalName, std::string(category.name) + " - Quellora 游戏门户", body);
}

std::string GamePage(const SiteLinks& links, const Game& game) {
    const Category* category = FindCategory(game.category);
    std::string file = GameFilePath(game);
    std::string body = CategoryNav(links) + "<h1>" + EscapeHtml(game.name) + "</h1>\n";
    body += "<table>\n<tr><th>类别</th><td>";
    if (category != nullptr) {
        body += "<a href=\"" + EscapeHtml(CategoryPath(category->number)) + "\">" + EscapeHtml(category->name) + "</a>";
    }
    body += "</td></tr>\n<tr><th>大小</th><td>" + DisplaySize(game.size) + "（" + std::to_string(game.size) +
            " 字节）</td></tr>\n";
    body += "<tr><th>文件</th><td>" + EscapeHtml(std::string(game.slug)) + ".zip</td></tr>\n";
    body += "<tr><th>简介</th><td>" + EscapeHtml(game.intro) + "</td></tr>\n</table>\n<p>";
    body += "<a class=\"button\" href=\"" + EscapeHtml(TarvaneLink(links, game)) + "\">用 tarvane 下载</a>";
    body += "<a class=\"button plain\" href=\"" + EscapeHtml(file) + "\">直接下载</a>";
    body += "<a class=\"muted\" href=\"" + EscapeHtml(file) + ".sha256\">SHA-256 校验值</a></p>\n";
    return HtmlPage(links, kPortalName, std::string(game.name) + " - Quellora 游戏门户", body);
}

}  // namespace tarvane::demo
