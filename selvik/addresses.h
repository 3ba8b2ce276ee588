#pragma once

#include <string>
#include <string_view>

#include "platform/site_hosts.h"

namespace selvik {

// Addresses and captions of the game browser. All texts are code page 936.

// The portal's root page with the query that marks visits from this program.
std::string HomeAddress(const platform::SiteHosts& hosts);
// The small-games search for `text`, which follows "keywords=" exactly as typed (not encoded).
std::string SearchAddress(const platform::SiteHosts& hosts, std::string_view text);
// The first page to open: the whole command line, or the home page when it is empty.
std::string StartAddress(const platform::SiteHosts& hosts, std::string_view commandLine);
// A page title followed by " - " and the program's name.
std::string CaptionFor(std::string_view title);
// Whether a top-level location belongs in the address box.
bool ShowsInAddressBox(std::string_view location);

// The argument text after the program name as one line, in the arguments' own encoding: the arguments
// joined by blanks, untrimmed.
std::string CommandLineText(int argc, const char* const* argv);

}  // namespace selvik
