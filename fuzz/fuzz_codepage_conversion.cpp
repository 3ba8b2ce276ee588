// Holds the converter that skips runs of ASCII against the plain conversion: both must give the
// same bytes and report the same loss, also for broken sequences next to ASCII and line feeds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "tarvane/store/encoding_names.h"

namespace {

// Pieces dense in ASCII next to lead bytes, cut-off sequences and surrogates.
const char* const kPieces[] = {"a",    "\n",   "<",    "\xD6\xD0", "\xE4\xB8\xAD",     "\xE4\xB8", "\x81", "\x81\x40",
                               "\xFF", "\x80", "\xA1", "@",        "\xF0\x9F\x98\x80", "\xC3"};
const unsigned kPairs[][2] = {{65001, 936}, {936, 65001}, {936, 1200}, {28591, 936}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::PiecesOrBytes(data, size, kPieces);
    for (const auto& pair : kPairs) {
        bool fastLoss = false;
        bool plainLoss = false;
        const std::string fast = tarvane::ConvertBetweenCodePages(pair[0], pair[1], bytes, &fastLoss);
        const std::string plain = platform::ConvertCodePage(pair[0], pair[1], bytes, &plainLoss);
        fuzz::Check(fast == plain, "ASCII-skipping conversion differs from the plain one");
        fuzz::Check(fastLoss == plainLoss, "ASCII-skipping conversion reports another loss");
    }
    return 0;
}
