// Decodes arbitrary text, and checks that encoding arbitrary bytes decodes back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tarvane/engine/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    std::string decoded;
    std::ptrdiff_t count = tarvane::Base64Decode(input, decoded);
    if (count < -1 || (count >= 0 && static_cast<std::size_t>(count) != decoded.size()) ||
        decoded.size() > size / 4 * 3) {
        std::abort();
    }

    std::string encoded = tarvane::Base64Encode(input);
    if (encoded.size() != (size + 2) / 3 * 4) {
        std::abort();
    }
    std::string back;
    if (tarvane::Base64Decode(encoded, back) != static_cast<std::ptrdiff_t>(size) || back != input) {
        std::abort();
    }
    return 0;
}
