#include "tarvane/engine/unpack/entry_path.h"

namespace tarvane {

namespace {

// Deeper than any game: every entry in a folder not the last one's is made by walking its path, so a
// hostile depth would cost time for every entry.
constexpr std::size_t kDeepest = 128;
constexpr std::size_t kLongest = 4096;

}  // namespace

bool SplitEntryPath(std::string_view name, std::vector<std::string>& components) {
    components.clear();
    if (name.size() > kLongest || name.find('\0') != std::string_view::npos || name.starts_with('/') ||
        name.starts_with('\\')) {
        return false;
    }
    bool drive = name.size() >= 2 && name[1] == ':' &&
                 ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
    if (drive) {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        std::string_view part = name.substr(start, end - start);
        if (part == ".." || components.size() == kDeepest) {
            return false;
        }
        if (!part.empty() && part != ".") {
            components.emplace_back(part);
        }
        start = end + 1;
    }
    return true;
}

}  // namespace tarvane
