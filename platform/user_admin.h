#pragma once

#include <string>
#include <vector>

namespace platform {

// Whether the user may administer the machine: effective uid 0, or a member of one of the groups
// "sudo", "wheel" or "admin".
bool IsUserAdmin();

// The same decision for a given effective uid and the names of its groups.
bool IsAdminAccount(unsigned effectiveUid, const std::vector<std::string>& groupNames);

}  // namespace platform
