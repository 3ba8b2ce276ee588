#include "platform/site_hosts.h"

#include <cstdlib>

#include "platform/site_hosts_defaults.h"

namespace platform {
namespace {

std::string Variable(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return (value != nullptr && *value != '\0') ? std::string(value) : std::string(fallback);
}

}  // namespace

SiteHosts SiteHosts::FromEnvironment() {
    return SiteHosts{Variable("TARVANE_OFFICIAL_HOST", TARVANE_DEFAULT_OFFICIAL_HOST),
                     Variable("TARVANE_PORTAL_HOST", TARVANE_DEFAULT_PORTAL_HOST),
                     Variable("TARVANE_MINIGAME_HOST", TARVANE_DEFAULT_MINIGAME_HOST),
                     Variable("TARVANE_SITE_DOMAIN", TARVANE_DEFAULT_SITE_DOMAIN)};
}

}  // namespace platform
