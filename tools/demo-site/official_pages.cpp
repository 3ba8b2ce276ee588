#include "tools/demo-site/pages.h"

namespace tarvane::demo {

namespace {

constexpr std::string_view kOfficialName = "Quellora 官方网站";

}  // namespace

std::string OfficialHomePage(const SiteLinks& links) {
    std::string body = R"(<h1>tarvane 游戏下载器</h1>
<p>tarvane 是 Quellora 出品的单机游戏下载工具：在游戏门户里挑选游戏，把游戏页面交给 tarvane，
它会自动找到游戏文件并下载到你指定的文件夹。</p>
<h2>主要功能</h2>
<ul>
<li>多个任务同时下载，超出上限的任务自动排队；</li>
<li>断点续传：暂停、断网或退出后，下次从中断处继续；</li>
<li>实时显示进度、速度与剩余时间；</li>
<li>支持带用户名和密码的 HTTP 代理；</li>
<li>每次启动自动检查新版本。</li>
</ul>
<h2>开始使用</h2>
<p>)";
    body += "<a class=\"button\" href=\"" + EscapeHtml(links.portal) + "/\">逛逛游戏门户</a>";
    body += "<a class=\"button plain\" href=\"/soft/help/downloader_help.htm\">阅读使用帮助</a>";
    body += "<a class=\"button plain\" href=\"/softUpdate/tarvane/newVerInfo.txt\">查看最新版本信息</a></p>";
    return HtmlPage(links, kOfficialName, "tarvane 游戏下载器 - Quellora", body);
}

std::string MainWindowNavPage(const SiteLinks& links) {
    // Sized for the main window's narrow pane: no header, one column.
    std::string page = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>tarvane 导航</title>
<base target="_blank">
<style>
body { margin: 0; max-width: 202px; font-family: "Microsoft YaHei", "WenQuanYi Micro Hei", sans-serif; font-size: 12px;
       background: #f4f6f8; color: #222; }
h3 { margin: 0; padding: 6px 8px; background: #1f4e79; color: #fff; font-size: 13px; }
ul { list-style: none; margin: 0; padding: 4px 8px; }
li { padding: 3px 0; border-bottom: 1px dotted #cfd8e0; }
a { color: #1f4e79; text-decoration: none; }
.size { float: right; color: #778; }
</style>
</head>
<body>
<h3>热门游戏</h3>
<ul>
)";
    int shown = 0;
    for (const Game& game : Games()) {
        // One game of each category keeps the list short and varied.
        if (game.id % 100 != 1 || ++shown > 12) {
            continue;
        }
        page += "<li><a href=\"" + EscapeHtml(links.portal + GamePagePath(game)) + "\">" + EscapeHtml(game.name) +
                "</a><span class=\"size\">" + DisplaySize(game.size) + "</span></li>\n";
    }
    page += "</ul>\n<h3>工具</h3>\n<ul>\n";
    page += "<li><a href=\"" + EscapeHtml(links.minigame) + "/\">小游戏库</a></li>\n";
    page += "<li><a href=\"/soft/help/downloader_help.htm\">使用帮助</a></li>\n";
    page += "</ul>\n</body>\n</html>\n";
    return page;
}

std::string HelpPage(const SiteLinks& links) {
    std::string body = R"(<h1>tarvane 使用帮助</h1>
<h2>添加下载任务</h2>
<p>有三种方法：</p>
<ol>
<li>在游戏页面上点击“用 tarvane 下载”，浏览器会把页面交给 tarvane；</li>
<li>在游戏浏览器 selvik 中打开游戏页面，点击“下载”；</li>
<li>在 tarvane 中点击“新建”，粘贴游戏页面的地址，选择保存位置后确定。</li>
</ol>
<p>tarvane 会向官方解析服务询问页面对应的游戏文件，然后开始下载。</p>
<h2>暂停、继续与删除</h2>
<p>在任务列表中右键点击任务，可以暂停、开始、重新下载或删除。已暂停或失败的任务再次开始时，
会从已下载的位置继续，无需从头下载。</p>
<h2>同时下载的任务数</h2>
<p>在“设置”中可以修改同时下载的任务数上限（默认 5 个）。超出上限的任务会排队等待，
前面的任务完成后自动开始。</p>
<h2>代理服务器</h2>
<p>新建任务时可以填写代理服务器的地址、端口、用户名和密码，也可以在“设置”中保存一个默认代理。</p>
<h2>常见问题</h2>
<dl>
<dt>提示“解析失败”怎么办？</dt>
<dd>请确认地址是游戏门户中某个游戏的页面，而不是分类页或首页。</dd>
<dt>下载完成的游戏在哪里？</dt>
<dd>切换到“已完成”标签，右键点击游戏即可打开所在文件夹。</dd>
</dl>
)";
    body += "<p><a href=\"" + EscapeHtml(links.portal) + "/\">返回游戏门户</a></p>";
    return HtmlPage(links, kOfficialName, "使用帮助 - tarvane", body);
}

std::string NotFoundPage(const SiteLinks& links, std::string_view path) {
    std::string body = "<h1>404 页面不存在</h1>\n<p>找不到页面 <code>" + EscapeHtml(path) + "</code>。</p>\n";
    body += "<p>可以去 <a href=\"" + EscapeHtml(links.official) + "/\">官方网站</a>、<a href=\"" +
            EscapeHtml(links.portal) + "/\">游戏门户</a> 或 <a href=\"" + EscapeHtml(links.minigame) +
            "/\">小游戏库</a> 看看。</p>";
    return HtmlPage(links, "Quellora", "404 页面不存在", body);
}

}  // namespace tarvane::demo
