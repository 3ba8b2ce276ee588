#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarvane {

struct ParseResult {
    std::string realLink;  // empty when the service named no file
    std::string fileName;  // without extension; may be empty
};

struct ResolverSettings {
    std::string officialHost;  // host[:port] of the parse service
    std::string siteDomain;    // links containing it are game pages to resolve
    long connectTimeoutSeconds = 10;
    long totalTimeoutSeconds = 30;
};

// Turns a game page link into the real file link and name through the parse service. Links
// outside the maker's domain are file addresses already and come back unchanged.
class LinkResolver {
public:
    explicit LinkResolver(ResolverSettings settings) : settings_(std::move(settings)) {}

    // `stop`, when given, is asked about once a second while the service is waited for; true ends
    // the request, which then names nothing.
    ParseResult ResolveLink(const std::string& link, const std::function<bool()>& stop = {}) const;
    // Whether the link is a game page of the maker's site, which the parse service answers.
    bool IsGamePage(const std::string& link) const;
    const std::string& officialHost() const { return settings_.officialHost; }

private:
    ResolverSettings settings_;
};

// Whether a file link may be fetched: a well-formed http or https address.
bool IsWebLink(std::string_view link);

// The service's query value: one random character of "0123456789ABCDEFabcdef", then Base64 of the link.
std::string EncodeLinkParameter(std::string_view link);
// The service's reply without its first character, Base64-decoded, up to the first zero byte.
std::string DecodeParseReply(std::string_view reply);
// Splits a decoded reply at "|||"; names nothing unless the separator stands after index 6.
ParseResult SplitParseReply(const std::string& decoded);

}  // namespace tarvane
