#include "tarvane/engine/unpack/entry_writer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace tarvane {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// One name inside its folder; the entry's path was checked, this holds whoever calls.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

int EntryWriter::Folder(const std::vector<std::string>& components, std::size_t count) {
    if (count == 0) {
        return root_;
    }
    if (open_.valid() && openPath_.size() == count &&
        std::equal(openPath_.begin(), openPath_.end(), components.begin())) {
        return open_.get();
    }
    open_.Close();
    openPath_.clear();
    platform::UniqueFd folder;
    for (std::size_t i = 0; i < count; ++i) {
        int parent = i == 0 ? root_ : folder.get();
        if (!IsPlainName(components[i])) {
            errno = ELOOP;
            return -1;
        }
        const char* name = components[i].c_str();
        int next = ::openat(parent, name, kFolderFlags);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(parent, name, 0755) != 0 && errno != EEXIST) {
                return -1;
            }
            next = ::openat(parent, name, kFolderFlags);
        }
        if (next < 0) {
            return -1;
        }
        folder = platform::UniqueFd(next);
    }
    open_ = std::move(folder);
    openPath_.assign(components.begin(), components.begin() + static_cast<std::ptrdiff_t>(count));
    return open_.get();
}

int EntryWriter::MakeFolder(const std::vector<std::string>& components) {
    return Folder(components, components.size()) < 0 ? errno : 0;
}

int EntryWriter::CreateFile(const std::vector<std::string>& components, bool executable, platform::UniqueFd& file) {
    int folder = Folder(components, components.size() - 1);
    if (folder < 0) {
        return errno;
    }
    if (!IsPlainName(components.back())) {
        return ELOOP;
    }
    const char* name = components.back().c_str();
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    mode_t mode = executable ? 0755 : 0644;
    int fd = ::openat(folder, name, kFlags, mode);
    struct stat there {};
    if (fd < 0 && errno == EEXIST && ::fstatat(folder, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(there.st_mode) && ::unlinkat(folder, name, 0) == 0) {
        fd = ::openat(folder, name, kFlags, mode);
    }
    if (fd < 0) {
        return errno;
    }
    file = platform::UniqueFd(fd);
    return 0;
}

int EntryWriter::OpenMade(const std::vector<std::string>& components, platform::UniqueFd& file) {
    int folder = Folder(components, components.size() - 1);
    if (folder < 0) {
        return errno;
    }
    if (!IsPlainName(components.back())) {
        return ELOOP;
    }
    int fd = ::openat(folder, components.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    file = platform::UniqueFd(fd);
    return 0;
}

}  // namespace tarvane
