#include "tarvane/engine/unpack/entry_path.h"

namespace tarvane {

bool SplitEntryPath(std::string_view name, std::vector<std::string>& components) {
    components.clear();
    if (name.find('\0') != std::string_view::npos || name.starts_with('/') || name.starts_with('\\')) {
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
        if (part == "..") {
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
