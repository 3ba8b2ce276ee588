#include "selvik/addresses.h"

#include "platform/codepage.h"
#include "platform/site_hosts.h"

namespace selvik {

std::string HomeAddress() {
    return "http://" + platform::PortalHost() + "/?selvik";
}

std::string SearchAddress(std::string_view text) {
    return "http://" + platform::MinigameHost() + "/search_fromSoft/?keywords=" + std::string(text);
}

std::string StartAddress(std::string_view commandLine) {
    return commandLine.empty() ? HomeAddress() : std::string(commandLine);
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
