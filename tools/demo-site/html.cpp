#include "tools/demo-site/html.h"

#include <cstdint>
#include <cstdio>

namespace tarvane::demo {

namespace {

constexpr std::string_view kStyle = R"(
body { margin: 0; font-family: "Microsoft YaHei", "WenQuanYi Micro Hei", "Noto Sans CJK SC", sans-serif;
       font-size: 14px; color: #222; background: #f4f6f8; }
header { background: #1f4e79; color: #fff; padding: 10px 24px; }
header a { color: #dce9f5; margin-right: 16px; text-decoration: none; }
header .site { font-size: 18px; font-weight: bold; margin-right: 28px; color: #fff; }
main { max-width: 960px; margin: 18px auto; background: #fff; padding: 18px 28px; border: 1px solid #dde3e9; }
h1 { font-size: 22px; margin: 4px 0 14px; }
h2 { font-size: 17px; border-left: 4px solid #1f4e79; padding-left: 8px; }
h2 a { color: inherit; text-decoration: none; }
a { color: #1f5f99; }
form { margin: 10px 0 14px; }
form input { width: 220px; padding: 4px 6px; }
table { border-collapse: collapse; width: 100%; table-layout: fixed; }
th, td { border-bottom: 1px solid #e6eaee; padding: 6px 8px; text-align: left; }
th { background: #eef2f6; }
nav.categories a { display: inline-block; margin: 3px 6px 3px 0; padding: 3px 10px; background: #eef2f6;
                    border-radius: 3px; color: #1f4e79; text-decoration: none; }
a.button { display: inline-block; padding: 6px 16px; background: #2e7d32; color: #fff; border-radius: 3px;
           text-decoration: none; margin-right: 10px; }
a.button.plain { background: #5c6f82; }
.muted { color: #667; font-size: 12px; }
footer { text-align: center; color: #889; font-size: 12px; margin: 16px; }
)";

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string HtmlPage(const SiteLinks& links, std::string_view siteName, std::string_view title, std::string_view body) {
    std::string page;
    page += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    page += EscapeHtml(title);
    page += "</title>\n<style>";
    page += kStyle;
    page += "</style>\n</head>\n<body>\n<header><span class=\"site\">";
    page += EscapeHtml(siteName);
    page += "</span><a href=\"" + EscapeHtml(links.official) + "/\">官方网站</a>";
    page += "<a href=\"" + EscapeHtml(links.portal) + "/\">游戏门户</a>";
    page += "<a href=\"" + EscapeHtml(links.minigame) + "/\">小游戏库</a>";
    page += "<a href=\"" + EscapeHtml(links.official) + "/soft/help/downloader_help.htm\">使用帮助</a>";
    page += "</header>\n<main>\n";
    page += body;
    page += "\n</main>\n<footer>Quellora 演示站点 · 仅供本机测试使用</footer>\n</body>\n</html>\n";
    return page;
}

std::string DisplaySize(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace tarvane::demo
