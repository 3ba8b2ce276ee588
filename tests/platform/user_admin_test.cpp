#include "platform/user_admin.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace platform {
namespace {

TEST(UserAdmin, RootOrAnAdministrativeGroup) {
    EXPECT_TRUE(IsAdminAccount(0, {}));
    EXPECT_TRUE(IsAdminAccount(1000, {"users", "sudo"}));
    EXPECT_TRUE(IsAdminAccount(1000, {"wheel"}));
    EXPECT_TRUE(IsAdminAccount(1000, {"admin"}));
    EXPECT_FALSE(IsAdminAccount(1000, {"users", "sudoers", "Admin"}));
    EXPECT_FALSE(IsAdminAccount(1000, {}));
    if (geteuid() == 0) {
        EXPECT_TRUE(IsUserAdmin());
    }
}

}  // namespace
}  // namespace platform
