// Reads arbitrary bytes as a version file and checks what the parser may answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "updater/version_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view body(reinterpret_cast<const char*>(data), size);
    auto published = tarvane::updater::ParseVersionFile(body);
    std::size_t separator = body.find("|||");
    if (separator == std::string_view::npos) {
        if (published) {
            std::abort();
        }
        return 0;
    }
    if (!published) {
        // Only an over-long address is refused once the separator is there.
        std::string_view rest = body.substr(separator + 3);
        std::size_t end = rest.find_last_not_of(' ');
        if (end != std::string_view::npos && end + 1 <= tarvane::updater::kMaxInstallerAddress) {
            std::abort();
        }
        return 0;
    }
    // The address is a piece of the body right after the separator, within the length limit, and the
    // number is the one read from before the separator.
    const std::string& address = published->installerAddress;
    if (address.size() > tarvane::updater::kMaxInstallerAddress ||
        body.substr(separator + 3, address.size()) != address ||
        published->version != tarvane::updater::ParseVersionNumber(body.substr(0, separator))) {
        std::abort();
    }
    return 0;
}
