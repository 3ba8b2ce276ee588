#include "tarvane/engine/folder_of_path.h"

#include "platform/ansi_text.h"

namespace tarvane {

std::string FolderOfPath(std::string_view path) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(path[i]);
        // A two-byte character's second byte may be 0x5C ("\\").
        if (platform::CharLength936(path, i) == 2) {
            ++i;
        } else if (byte == '/' || byte == '\\') {
            end = i + 1;
        }
    }
    return std::string(path.substr(0, end));
}

}  // namespace tarvane
