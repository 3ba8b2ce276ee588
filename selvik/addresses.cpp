#include "selvik/addresses.h"

#include "platform/codepage.h"

namespace selvik {

std::string HomeAddress(const platform::SiteHosts& hosts) {
    return "http://" + hosts.portal + "/?selvik";
}

std::string SearchAddress(const platform::SiteHosts& hosts, std::string_view text) {
    return "http://" + hosts.minigame + "/search_fromSoft/?keywords=" + std::string(text);
}

std::string StartAddress(const platform::SiteHosts& hosts, std::string_view commandLine) {
    return commandLine.empty() ? HomeAddress(hosts) : std::string(commandLine);
}

std::string CaptionFor(std::string_view title) {
    return std::string(title) + " - " + platform::AnsiFromUtf8("Quellora游戏选择端");
}

bool ShowsInAddressBox(std::string_view location) {
    return !location.empty() && location != "about:blank";
}

std::string CommandLineText(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += argv[i];
    }
    return line;
}

}  // namespace selvik
