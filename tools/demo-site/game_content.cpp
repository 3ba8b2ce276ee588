#include "tools/demo-site/game_content.h"

#include <vector>

#include "tools/demo-site/sha256.h"

namespace tarvane::demo {

namespace {

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

}  // namespace

void FillGameBytes(const Game& game, std::uint64_t offset, char* out, std::size_t count) {
    // Eight bytes per word; each word depends on the game and its index only.
    const std::uint64_t seed = Mix(static_cast<std::uint64_t>(game.id)) << 1;
    std::uint64_t word = offset / 8;
    std::uint64_t value = Mix(seed ^ word);
    unsigned byteInWord = static_cast<unsigned>(offset % 8);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<char>(value >> (8 * byteInWord));
        if (++byteInWord == 8) {
            byteInWord = 0;
            value = Mix(seed ^ ++word);
        }
    }
}

std::string GameFileSha256(const Game& game) {
    Sha256 hash;
    std::vector<char> block(1 << 20);
    for (std::uint64_t offset = 0; offset < game.size; offset += block.size()) {
        std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), game.size - offset));
        FillGameBytes(game, offset, block.data(), count);
        hash.Update(std::string_view(block.data(), count));
    }
    return hash.HexDigest();
}

}  // namespace tarvane::demo
