#include "platform/user_admin.h"

#include <grp.h>
#include <unistd.h>

namespace platform {

bool IsAdminAccount(unsigned effectiveUid, const std::vector<std::string>& groupNames) {
    if (effectiveUid == 0) {
        return true;
    }
    for (const std::string& name : groupNames) {
        if (name == "sudo" || name == "wheel" || name == "admin") {
            return true;
        }
    }
    return false;
}

bool IsUserAdmin() {
    std::vector<std::string> names;
    int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        count = getgroups(count, groups.data());
        for (int i = 0; i < count; ++i) {
            if (const group* entry = getgrgid(groups[static_cast<std::size_t>(i)])) {
                names.emplace_back(entry->gr_name);
            }
        }
    }
    if (const group* primary = getgrgid(getegid())) {
        names.emplace_back(primary->gr_name);
    }
    return IsAdminAccount(geteuid(), names);
}

}  // namespace platform
