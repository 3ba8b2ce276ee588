#include <gtest/gtest.h>

#include "tests/support/memory_list_view.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

TEST(MemoryListView, RowsMoveUpWhenOneIsDeleted) {
    test::MemoryListView view;
    for (int i = 0; i < 3; ++i) {
        view.InsertRow(i, "");
        view.SetSubItemText(i, 1, std::to_string(i));
    }
    EXPECT_TRUE(view.DeleteRow(0));
    EXPECT_FALSE(view.DeleteRow(5));
    ASSERT_EQ(view.RowCount(), 2);
    EXPECT_EQ(view.SubItemText(0, 1), "1");
    EXPECT_EQ(view.SubItemText(1, 1), "2");
}

}  // namespace
}  // namespace tarvane
