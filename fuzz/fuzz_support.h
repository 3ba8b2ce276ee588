#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// Aborts with the broken invariant named, so the fuzzer keeps the input.
inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// One scratch folder for the whole run, removed when the fuzzer exits.
inline const std::string& ScratchFolder(const char* prefix) {
    static const std::string* folder = [prefix] {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
        auto* made = new std::string(pattern);  // kept alive for the exit handler
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*folder, ignored);
        });
        return made;
    }();
    return *folder;
}

// An input starting with 0 is taken byte by byte; any other input picks one piece per byte, so that
// delimiters and lead bytes random bytes rarely line up come together.
template <std::size_t N>
std::string PiecesOrBytes(const std::uint8_t* data, std::size_t size, const char* const (&pieces)[N]) {
    if (size == 0 || data[0] == 0) {
        return std::string(reinterpret_cast<const char*>(data), size);
    }
    std::string built;
    for (std::size_t i = 1; i < size; ++i) {
        built += pieces[data[i] % N];
    }
    return built;
}

}  // namespace fuzz
