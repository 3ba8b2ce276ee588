#pragma once

#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace tarvane {

// Makes folders and files under one root folder, component by component through descriptors that
// never follow a link, so nothing lands outside the root whatever is already in it. Answers errno
// values (0 when done).
class EntryWriter {
public:
    explicit EntryWriter(int rootFd) : root_(rootFd) {}

    int MakeFolder(const std::vector<std::string>& components);
    // A new file 0644, or 0755 when `executable`; a file an earlier entry of the same name made is
    // replaced.
    int CreateFile(const std::vector<std::string>& components, bool executable, platform::UniqueFd& file);

    // A file made earlier, opened for reading.
    int OpenMade(const std::vector<std::string>& components, platform::UniqueFd& file);

private:
    // The folder of the first `count` components, made when missing; -1 with errno set on failure.
    int Folder(const std::vector<std::string>& components, std::size_t count);

    int root_;
    // Entries come folder by folder: the last folder stays open.
    std::vector<std::string> openPath_;
    platform::UniqueFd open_;
};

}  // namespace tarvane
