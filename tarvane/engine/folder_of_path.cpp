#include "tarvane/engine/folder_of_path.h"

namespace tarvane {
namespace {

// A lead byte of code page 936 starts a two-byte character whose second byte may be 0x5C ("\").
bool IsLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace

std::string FolderOfPath(std::string_view path) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(byte) && i + 1 < path.size()) {
            ++i;
        } else if (byte == '/' || byte == '\\') {
            end = i + 1;
        }
    }
    return std::string(path.substr(0, end));
}

}  // namespace tarvane
