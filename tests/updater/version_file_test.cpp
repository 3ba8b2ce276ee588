#include "updater/version_file.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvane::updater {
namespace {

TEST(VersionFile, SplitsAtTheFirstSeparatorAndKeepsTheAddressWhole) {
    auto plain = ParseVersionFile("1001|||http://www.quellora.localhost/setup");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->version, 1001u);
    EXPECT_EQ(plain->installerAddress, "http://www.quellora.localhost/setup");

    // Outer blanks go; the blank before "|||" ends the number; the one after stays in the address.
    auto blanks = ParseVersionFile("   7 ||| http://a.b/c|||d   ");
    ASSERT_TRUE(blanks);
    EXPECT_EQ(blanks->version, 7u);
    EXPECT_EQ(blanks->installerAddress, " http://a.b/c|||d");

    // Only blanks are trimmed: a final line break belongs to the address.
    auto lineBreak = ParseVersionFile("8|||http://a.b/c\r\n");
    ASSERT_TRUE(lineBreak);
    EXPECT_EQ(lineBreak->installerAddress, "http://a.b/c\r\n");

    EXPECT_FALSE(ParseVersionFile("1001 http://a.b/c"));
    EXPECT_FALSE(ParseVersionFile("1001||http://a.b/c"));
    EXPECT_FALSE(ParseVersionFile(""));

    auto noNumber = ParseVersionFile("|||x");
    ASSERT_TRUE(noNumber);
    EXPECT_EQ(noNumber->version, 0u);
    EXPECT_EQ(noNumber->installerAddress, "x");
}

TEST(VersionFile, AddressesLongerThan259BytesAreRefused) {
    std::string address(259, 'a');
    auto longest = ParseVersionFile("2|||" + address);
    ASSERT_TRUE(longest);
    EXPECT_EQ(longest->installerAddress, address);
    EXPECT_FALSE(ParseVersionFile("2|||" + address + "a"));
    // Trailing blanks of the body do not count towards the address.
    EXPECT_TRUE(ParseVersionFile("2|||" + address + "    "));
}

TEST(VersionFile, NumbersReadLikeAtoiAndCompareUnsigned) {
    EXPECT_EQ(ParseVersionNumber("1000"), 1000u);
    EXPECT_EQ(ParseVersionNumber(" \t\n+42abc"), 42u);
    EXPECT_EQ(ParseVersionNumber("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseVersionNumber("-2147483648"), 0x80000000u);
    EXPECT_EQ(ParseVersionNumber("99999999999999999999999"), 2147483647u);
    EXPECT_EQ(ParseVersionNumber("-99999999999999999999999"), 0x80000000u);
    EXPECT_EQ(ParseVersionNumber("v2"), 0u);
    EXPECT_EQ(ParseVersionNumber("- 3"), 0u);
    EXPECT_EQ(ParseVersionNumber(""), 0u);
}

}  // namespace
}  // namespace tarvane::updater
