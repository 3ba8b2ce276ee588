#pragma once

#include <string>
#include <string_view>

namespace tarvane {

// A "tarvane:" link as the desktop hands it over from a browser: the browser may have
// percent-encoded the markers ("tarvane:%3Ehttp://...%3C"). Without a ">" of its own, the first "%3E"
// and the last "%3C" become the markers; the page between them keeps its own escapes, unless it is
// escaped whole ("http%3A%2F%2F..."), which is then decoded too. Any other text comes back unchanged.
std::string DecodeSchemeLinkMarkers(std::string_view commandLine);

}  // namespace tarvane
