#include "platform/site_hosts.h"

#include <cstdlib>

#include "platform/site_hosts_defaults.h"

namespace platform {
namespace {

std::string FromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return (value != nullptr && *value != '\0') ? std::string(value) : std::string(fallback);
}

}  // namespace

SiteHosts SiteHosts::FromEnvironment() {
    return SiteHosts{platform::FromEnvironment("TARVANE_OFFICIAL_HOST", TARVANE_DEFAULT_OFFICIAL_HOST),
                     platform::FromEnvironment("TARVANE_PORTAL_HOST", TARVANE_DEFAULT_PORTAL_HOST),
                     platform::FromEnvironment("TARVANE_MINIGAME_HOST", TARVANE_DEFAULT_MINIGAME_HOST),
                     platform::FromEnvironment("TARVANE_SITE_DOMAIN", TARVANE_DEFAULT_SITE_DOMAIN)};
}

}  // namespace platform
