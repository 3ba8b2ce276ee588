#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace bench {

// A file of `bytes` that compresses to nothing, the same at every run.
inline void MakeFile(const std::filesystem::path& path, uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(7);
    std::vector<uint64_t> block(1 << 17);
    for (uint64_t written = 0; written < bytes; written += block.size() * 8) {
        for (auto& word : block) {
            word = random();
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<uint64_t>(block.size() * 8, bytes - written)));
    }
}

// The bytes of every file in a folder together.
inline uint64_t FolderBytes(const std::filesystem::path& folder) {
    uint64_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        total += entry.is_regular_file() ? entry.file_size() : 0;
    }
    return total;
}

}  // namespace bench
