#pragma once

#include <string>

namespace platform {

// Host names (with an optional ":port") of the sites the programs talk to. Each comes from its
// environment variable when set and non-empty, else from the build's default.
std::string OfficialHost();  // TARVANE_OFFICIAL_HOST
std::string PortalHost();    // TARVANE_PORTAL_HOST
std::string MinigameHost();  // TARVANE_MINIGAME_HOST
std::string SiteDomain();    // TARVANE_SITE_DOMAIN

}  // namespace platform
