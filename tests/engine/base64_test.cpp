#include "tarvane/engine/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvane {
namespace {

std::ptrdiff_t Decode(std::string_view text, std::string* out = nullptr) {
    std::string bytes = "left over";
    std::ptrdiff_t count = Base64Decode(text, bytes);
    if (out != nullptr) {
        *out = bytes;
    }
    return count;
}

TEST(Base64, EncodesTheRfc4648Vectors) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode(std::string("\xfb\xff\x00", 3)), "+/8A");
}

TEST(Base64, EveryByteValueRoundTrips) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    for (size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{255}, size_t{256}}) {
        std::string part = bytes.substr(0, length);
        std::string encoded = Base64Encode(part);
        EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
        std::string decoded;
        EXPECT_EQ(Decode(encoded, &decoded), static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(decoded, part);
    }
}

TEST(Base64, DecoderStopsAtTheEndOfItsGroups) {
    std::string out;
    EXPECT_EQ(Decode("Zg==", &out), 1);
    EXPECT_EQ(out, "f");
    EXPECT_EQ(Decode("", &out), 0);
    EXPECT_EQ(out, "");
    // A line break ends the text; so does a group starting with padding or any non-alphabet byte.
    EXPECT_EQ(Decode("Zm9v\r\nYmFy", &out), 3);
    EXPECT_EQ(out, "foo");
    EXPECT_EQ(Decode("Zm9v=mFy"), 3);
    EXPECT_EQ(Decode("Zm9v-_", &out), 3);
    EXPECT_EQ(Decode(std::string_view("Zm9v\0Zm9v", 9)), 3);
    // After a padded group nothing more is read, not even a broken group.
    EXPECT_EQ(Decode("Zg==Zm9v", &out), 1);
    EXPECT_EQ(Decode("Zm8=Z", &out), 2);
    EXPECT_EQ(out, "fo");
}

TEST(Base64, MalformedGroupsAnswerMinusOne) {
    std::string out;
    EXPECT_EQ(Decode("Zm9vZ", &out), -1);  // text ends after one character
    EXPECT_EQ(out, "foo");                 // the groups before it stay decoded
    EXPECT_EQ(Decode("Zm"), -1);
    EXPECT_EQ(Decode("Zm9"), -1);
    EXPECT_EQ(Decode("Z=9v"), -1);
    EXPECT_EQ(Decode("Zm=v"), -1);  // alphabet after padding in third place
    EXPECT_EQ(Decode("Zm*v"), -1);
    EXPECT_EQ(Decode("Zm9*"), -1);
    EXPECT_EQ(Decode("Zm9v Zm9v"), 3);
    EXPECT_EQ(Decode("Zm9vZ m9v"), -1);
}

}  // namespace
}  // namespace tarvane
