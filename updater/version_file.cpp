#include "updater/version_file.h"

#include <algorithm>
#include <limits>

namespace tarvane::updater {

namespace {

constexpr std::string_view kSeparator = "|||";

bool IsWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimSpaces(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::uint32_t ParseVersionNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsWhiteSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Magnitudes are held one past the int range at most, so long digit runs cannot overflow.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        magnitude = std::min(magnitude * 10 + (text[at] - '0'), kLimit);
    }
    std::int64_t value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

std::optional<PublishedVersion> ParseVersionFile(std::string_view body) {
    std::string_view trimmed = TrimSpaces(body);
    std::size_t separator = trimmed.find(kSeparator);
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view address = trimmed.substr(separator + kSeparator.size());
    if (address.size() > kMaxInstallerAddress) {
        return std::nullopt;
    }
    return PublishedVersion{ParseVersionNumber(trimmed.substr(0, separator)), std::string(address)};
}

}  // namespace tarvane::updater
