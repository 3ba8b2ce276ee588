#include "tarvane/engine/link_resolver.h"

#include <random>

#include "platform/ansi_text.h"
#include "platform/http_get.h"
#include "platform/url_parse.h"
#include "tarvane/engine/base64.h"

namespace tarvane {

namespace {

constexpr std::string_view kParsePath = "/softAssist/parse/parse_fileInfo.php?link=";
constexpr const char* kServiceAgent =
    "User-Agent: Mozilla/5.0 (Windows NT 5.1) AppleWebKit/536.11 (KHTML, like Gecko) Chrome/20.0.1132.43 "
    "Safari/536.11";
// A reply names one link and one file; anything near this size is not a reply of the service.
constexpr size_t kMaxReplyBytes = 1 << 20;

std::string_view TrimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string EncodeLinkParameter(std::string_view link) {
    static constexpr std::string_view kLeadCharacters = "0123456789ABCDEFabcdef";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kLeadCharacters.size() - 1);
    return kLeadCharacters[pick(generator)] + Base64Encode(link);
}

std::string DecodeParseReply(std::string_view reply) {
    if (reply.empty()) {
        return {};
    }
    std::string decoded;
    Base64Decode(reply.substr(1), decoded);
    // The groups decoded before a malformed one are kept, as far as the first zero byte; the
    // service's bytes are made valid 936 text before anything stores them.
    return platform::Valid936(decoded.substr(0, decoded.find('\0')));
}

ParseResult SplitParseReply(const std::string& decoded) {
    ParseResult result;
    size_t separator = decoded.find("|||");
    if (separator != std::string::npos && separator > 6) {
        result.realLink = decoded.substr(0, separator);
        result.fileName = decoded.substr(separator + 3);
    }
    return result;
}

bool LinkResolver::IsGamePage(const std::string& link) const {
    return !settings_.siteDomain.empty() && link.find(settings_.siteDomain) != std::string::npos;
}

bool IsWebLink(std::string_view link) {
    auto parsed = platform::ParseUrl(link);
    return parsed && (parsed->service == platform::UrlService::Http || parsed->service == platform::UrlService::Https);
}

ParseResult LinkResolver::ResolveLink(const std::string& link, const std::function<bool()>& stop) const {
    if (!IsGamePage(link)) {
        return {link, ""};
    }
    std::string address = "http://" + settings_.officialHost + std::string(kParsePath) + EncodeLinkParameter(link);
    std::string reply;
    auto append = [&reply](std::string_view block) {
        if (reply.size() + block.size() > kMaxReplyBytes) {
            return false;
        }
        reply.append(block);
        return true;
    };
    // A dead service must not hold the window for minutes; the service is addressed directly, whatever
    // proxy the environment names.
    platform::HttpGetOptions options;
    options.headers = {kServiceAgent};
    options.direct = true;
    options.connectSeconds = settings_.connectTimeoutSeconds;
    options.totalMilliseconds = settings_.totalTimeoutSeconds * 1000;
    options.stop = stop;
    platform::HttpGetResult got = platform::HttpGet(address, append, options);
    // An error page or a cut reply is no answer of the service.
    if (!got.transferred || got.status >= 400) {
        return {};
    }
    return SplitParseReply(DecodeParseReply(TrimBlanks(reply)));
}

}  // namespace tarvane
