// demo-site: the official site, the parse service, the game portal, the small-games site and the game
// files of tarvane on one local port, for the demo and for trying the programs by hand.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/site_hosts.h"
#include "tools/demo-site/demo_site.h"

namespace {

constexpr int kDefaultPort = 8717;

void PrintUsage() {
    std::printf(
        "usage: demo-site [--port N] [--publish-version N] [--rate KBPS]\n"
        "       demo-site --hash FILE-PATH\n"
        "Serves every site of tarvane on 127.0.0.1, told apart by the Host header; host names come from\n"
        "TARVANE_OFFICIAL_HOST, TARVANE_PORTAL_HOST and TARVANE_MINIGAME_HOST (their ports are ignored:\n"
        "links between the sites carry the port served, 8717 unless --port says otherwise).\n"
        "--rate serves each game file at KBPS KB/s (1024 bytes), as a real file server would.\n"
        "--hash prints the SHA-256 of a game file, given as its path (/files/ID/NAME.zip) or address.\n");
}

bool ParseNumber(std::string_view text, unsigned long long limit, unsigned long long& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= limit;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long long port = kDefaultPort;
    auto hosts = platform::SiteHosts::FromEnvironment();
    tarvane::demo::DemoSiteOptions options{hosts.official, hosts.portal, hosts.minigame, 1};
    for (int i = 1; i < argc; ++i) {
        std::string_view option = argv[i];
        bool hasValue = i + 1 < argc;
        unsigned long long number = 0;
        if (option == "--port" && hasValue && ParseNumber(argv[i + 1], 65535, number) && number > 0) {
            port = number;
            ++i;
        } else if (option == "--publish-version" && hasValue && ParseNumber(argv[i + 1], 0xFFFFFFFFull, number)) {
            options.publishedVersion = static_cast<std::uint32_t>(number);
            ++i;
        } else if (option == "--rate" && hasValue && ParseNumber(argv[i + 1], 0xFFFFFFFFull / 1024, number)) {
            options.rateKBps = static_cast<std::uint32_t>(number);
            ++i;
        } else if (option == "--hash" && hasValue) {
            const tarvane::demo::Game* game = tarvane::demo::GameOfFilePath(argv[i + 1]);
            if (game == nullptr) {
                std::fprintf(stderr, "demo-site: no game file at %s\n", argv[i + 1]);
                return 1;
            }
            tarvane::demo::DemoSite site(options);
            std::printf("%s  %s.zip\n", site.FileSha256(*game).c_str(), std::string(game->slug).c_str());
            return 0;
        } else if (option == "--help" || option == "-h") {
            PrintUsage();
            return 0;
        } else {
            PrintUsage();
            return 2;
        }
    }

    tarvane::demo::DemoSite site(options);
    if (site.Bind(static_cast<int>(port)) < 0) {
        std::fprintf(stderr, "demo-site: cannot listen on 127.0.0.1:%llu\n", port);
        return 1;
    }
    const auto& links = site.links();
    std::printf("demo-site on 127.0.0.1:%d\n  official site  %s/\n  game portal    %s/\n  small games    %s/\n",
                site.port(), links.official.c_str(), links.portal.c_str(), links.minigame.c_str());
    std::fflush(stdout);
    site.HashGameFiles();
    return site.Serve() ? 0 : 1;
}
