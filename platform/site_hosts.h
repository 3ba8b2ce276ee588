#pragma once

#include <string>

namespace platform {

// Host names (with an optional ":port") of the sites the programs talk to. A program reads them
// once at its start and hands them on: the environment may only change while no thread runs.
struct SiteHosts {
    std::string official;    // TARVANE_OFFICIAL_HOST
    std::string portal;      // TARVANE_PORTAL_HOST
    std::string minigame;    // TARVANE_MINIGAME_HOST
    std::string siteDomain;  // TARVANE_SITE_DOMAIN

    // Each from its environment variable when set and non-empty, else from the build's default.
    static SiteHosts FromEnvironment();
};

}  // namespace platform
