#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvane::updater {

// What the official site publishes: the newest version and where its installer lies.
struct PublishedVersion {
    std::uint32_t version = 0;
    std::string installerAddress;
};

// Longest installer address taken; a longer one is refused rather than cut to a wrong address.
inline constexpr std::size_t kMaxInstallerAddress = 259;

// Reads the body "NUMBER|||ADDRESS". Blanks (spaces only) at both ends of the body are dropped; the
// address is everything after the first "|||", line breaks included. Nothing when the separator is
// missing or the address is too long.
std::optional<PublishedVersion> ParseVersionFile(std::string_view body);

// The leading number of `text` as a 32-bit signed value, read the way atoi reads it (leading white
// space, optional sign, digits up to the first other character, 0 without digits; out-of-range values
// stop at the int limits), then taken as unsigned, so "-1" is the largest version.
std::uint32_t ParseVersionNumber(std::string_view text);

}  // namespace tarvane::updater
