#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/link_handoff.h"

// Any bytes a local peer could send as a hand-off record: decoding never reads past them, and a
// record that decodes encodes back to the same fields.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto record = platform::DecodeLinkHandoff(bytes);
    if (!record) {
        return 0;
    }
    auto encoded = platform::EncodeLinkHandoff(*record);
    if (!encoded) {
        std::abort();
    }
    auto again = platform::DecodeLinkHandoff(*encoded);
    if (!again || again->link != record->link || again->name != record->name || again->agent != record->agent ||
        again->useDefaultProxy != record->useDefaultProxy) {
        std::abort();
    }
    return 0;
}
