#pragma once

#include <cstdint>
#include <string>

#include "tools/demo-site/catalogue.h"

namespace tarvane::demo {

// A game file's bytes are made up on demand from its id and the offset, the same on every run and
// machine, so a download can be checked against a hash without the file ever existing on disk.
void FillGameBytes(const Game& game, std::uint64_t offset, char* out, std::size_t count);

// SHA-256 of the game's whole file, as lower-case hex (reads through the whole file: a few seconds
// for the largest ones).
std::string GameFileSha256(const Game& game);

}  // namespace tarvane::demo
