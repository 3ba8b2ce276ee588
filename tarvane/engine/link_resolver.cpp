#include "tarvane/engine/link_resolver.h"

#include "platform/ansi_text.h"

#include <curl/curl.h>

#include <random>

#include "tarvane/engine/base64.h"

namespace tarvane {

namespace {

constexpr std::string_view kParsePath = "/softAssist/parse/parse_fileInfo.php?link=";
constexpr const char* kServiceAgent =
    "User-Agent: Mozilla/5.0 (Windows NT 5.1) AppleWebKit/536.11 (KHTML, like Gecko) Chrome/20.0.1132.43 "
    "Safari/536.11";
// A reply names one link and one file; anything near this size is not a reply of the service.
constexpr size_t kMaxReplyBytes = 1 << 20;

size_t AppendReply(char* data, size_t size, size_t count, void* user) {
    auto* reply = static_cast<std::string*>(user);
    size_t bytes = size * count;
    if (reply->size() + bytes > kMaxReplyBytes) {
        return 0;
    }
    reply->append(data, bytes);
    return bytes;
}

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

ParseResult LinkResolver::ResolveLink(const std::string& link) const {
    if (!IsGamePage(link)) {
        return {link, ""};
    }
    std::string address = "http://" + settings_.officialHost + std::string(kParsePath) + EncodeLinkParameter(link);
    std::string reply;
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        return {};
    }
    curl_slist* headers = curl_slist_append(nullptr, "Connection: Close");
    headers = curl_slist_append(headers, kServiceAgent);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendReply);
    curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // A dead service must not hold the window for minutes.
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, settings_.connectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, settings_.totalTimeoutSeconds);
    // The service is addressed directly, whatever proxy the environment names.
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    // An error page or a cut reply is no answer of the service.
    if (code != CURLE_OK || status >= 400) {
        return {};
    }
    return SplitParseReply(DecodeParseReply(TrimBlanks(reply)));
}

}  // namespace tarvane
