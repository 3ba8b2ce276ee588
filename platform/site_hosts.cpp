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

std::string OfficialHost() { return FromEnvironment("TARVANE_OFFICIAL_HOST", TARVANE_DEFAULT_OFFICIAL_HOST); }
std::string PortalHost() { return FromEnvironment("TARVANE_PORTAL_HOST", TARVANE_DEFAULT_PORTAL_HOST); }
std::string MinigameHost() { return FromEnvironment("TARVANE_MINIGAME_HOST", TARVANE_DEFAULT_MINIGAME_HOST); }
std::string SiteDomain() { return FromEnvironment("TARVANE_SITE_DOMAIN", TARVANE_DEFAULT_SITE_DOMAIN); }

}  // namespace platform
