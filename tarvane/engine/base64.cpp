#include "tarvane/engine/base64.h"

#include <array>
#include <cstdint>

namespace tarvane {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

constexpr std::array<std::int8_t, 256> MakeValues() {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    }
    return values;
}

constexpr std::array<std::int8_t, 256> kValues = MakeValues();

// Value of the character at `index`, or -1 when it is past the end or not in the alphabet.
int ValueAt(std::string_view text, std::size_t index) {
    return index < text.size() ? kValues[static_cast<unsigned char>(text[index])] : -1;
}

bool IsPadAt(std::string_view text, std::size_t index) {
    return index < text.size() && text[index] == kPad;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                              static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += kAlphabet[group >> 6 & 63];
        text += kAlphabet[group & 63];
    }
    std::size_t left = bytes.size() - i;
    if (left > 0) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (left == 2) {
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        }
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += left == 2 ? kAlphabet[group >> 6 & 63] : kPad;
        text += kPad;
    }
    return text;
}

std::ptrdiff_t Base64Decode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    for (std::size_t i = 0;; i += 4) {
        int first = ValueAt(text, i);
        if (first < 0) {
            break;
        }
        int second = ValueAt(text, i + 1);
        if (second < 0) {
            return -1;
        }
        int third = ValueAt(text, i + 2);
        bool thirdPad = third < 0 && IsPadAt(text, i + 2);
        if (third < 0 && !thirdPad) {
            return -1;
        }
        int fourth = ValueAt(text, i + 3);
        bool fourthPad = fourth < 0 && IsPadAt(text, i + 3);
        if ((fourth < 0 && !fourthPad) || (thirdPad && !fourthPad)) {
            return -1;
        }
        std::uint32_t group = static_cast<std::uint32_t>(first) << 18 | static_cast<std::uint32_t>(second) << 12 |
                              static_cast<std::uint32_t>(thirdPad ? 0 : third) << 6 |
                              static_cast<std::uint32_t>(fourthPad ? 0 : fourth);
        out += static_cast<char>(group >> 16 & 0xFF);
        if (!thirdPad) {
            out += static_cast<char>(group >> 8 & 0xFF);
        }
        if (!fourthPad) {
            out += static_cast<char>(group & 0xFF);
        }
        if (fourthPad) {
            break;
        }
    }
    return static_cast<std::ptrdiff_t>(out.size());
}

}  // namespace tarvane
