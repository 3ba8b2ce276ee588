#include "platform/ansi_text.h"

namespace platform {
namespace {

unsigned char AsciiLower(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
}

}  // namespace

std::size_t CharLength936(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte936(static_cast<unsigned char>(text[pos])) &&
        IsTrailByte936(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

bool EqualsIgnoreCase936(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t pos = 0;
    while (pos < a.size()) {
        std::size_t length = CharLength936(a, pos);
        if (length != CharLength936(b, pos)) {
            return false;
        }
        if (length == 2) {
            if (a.compare(pos, 2, b, pos, 2) != 0) {
                return false;
            }
        } else if (AsciiLower(static_cast<unsigned char>(a[pos])) != AsciiLower(static_cast<unsigned char>(b[pos]))) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string_view CutAtCharBoundary936(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t length = CharLength936(text, pos);
        if (pos + length > maxBytes) {
            break;
        }
        pos += length;
    }
    return text.substr(0, pos);
}

std::size_t FindChar936(std::string_view text, char ch, std::size_t from) {
    for (std::size_t pos = from; pos < text.size(); pos += CharLength936(text, pos)) {
        if (text[pos] == ch) {
            return pos;
        }
    }
    return std::string_view::npos;
}

}  // namespace platform
