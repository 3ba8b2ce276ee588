#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvane::demo {

// One of the portal's twelve categories, numbered 1 to 12 like their pages "/dispenseUrl/NN.htm".
struct Category {
    int number;
    std::string_view name;   // UTF-8
    std::string_view blurb;  // UTF-8, one sentence
};

struct Game {
    int id;                  // page "/game/ID.htm"
    int category;            // 1 to 12
    std::string_view name;   // UTF-8
    std::string_view slug;   // ASCII file name without extension
    std::uint64_t size;      // bytes of the game's file
    std::string_view intro;  // UTF-8
};

std::span<const Category> Categories();
std::span<const Game> Games();

// Nothing when there is no such category or game.
const Category* FindCategory(int number);
const Game* FindGame(int id);

// "/dispenseUrl/01.htm" ... "/dispenseUrl/12.htm"
std::string CategoryPath(int number);
// "/game/ID.htm", "/files/ID/SLUG.zip"
std::string GamePagePath(const Game& game);
std::string GameFilePath(const Game& game);

}  // namespace tarvane::demo
