#include "tarvane/engine/format_size.h"

#include <gtest/gtest.h>

namespace tarvane {
namespace {

TEST(FormatSize, EachBoundaryStaysInTheSmallerUnit) {
    EXPECT_EQ(FormatSize(0), "0.00B");
    EXPECT_EQ(FormatSize(1024), "1024.00B");
    EXPECT_EQ(FormatSize(1025), "1.00KB");
    EXPECT_EQ(FormatSize(1536), "1.50KB");
    EXPECT_EQ(FormatSize(1048576), "1024.00KB");
    EXPECT_EQ(FormatSize(1048577), "1.00MB");
    EXPECT_EQ(FormatSize(1073741824.0), "1024.00MB");
    EXPECT_EQ(FormatSize(5000000000.0), "4.66GB");
    EXPECT_EQ(FormatSize(3.0 * 1024 * 1024 * 1024 * 1024), "3072.00GB");
}

TEST(FormatSize, HugeValuesAreNotCut) {
    std::string text = FormatSize(1e300);
    ASSERT_GT(text.size(), 290u);
    EXPECT_EQ(text.substr(text.size() - 2), "GB");
}

}  // namespace
}  // namespace tarvane
