#pragma once

#include <string>
#include <string_view>

#include "tools/demo-site/html.h"

namespace tarvane::demo {

// The parse service's answer to the raw query value after "link=": one character that means nothing,
// then Base64 of "REAL LINK|||FILE NAME" in code page 936. A link that is no game page of the portal
// gets the lone character, which names nothing.
std::string ParseServiceReply(const SiteLinks& links, std::string_view queryValue);

// The game id of a game page link "http://HOST[:PORT]/game/ID.htm" on one of the sites, or 0.
int GameIdOfPageLink(std::string_view link);

}  // namespace tarvane::demo
