#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/unique_fd.h"

namespace platform {
namespace {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        fsync(fd.get());
    }
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& utf8Path, bool* missing) {
    if (missing != nullptr) {
        *missing = false;
    }
    // Not blocking, so that a pipe in place of the file cannot hang the reader.
    UniqueFd fd(open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (missing != nullptr) {
            *missing = errno == ENOENT;
        }
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    char buffer[16384];
    for (;;) {
        ssize_t got = read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string FollowLink(const std::string& utf8Path) {
    struct stat info {};
    if (lstat(utf8Path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return utf8Path;
    }
    char resolved[PATH_MAX];
    return realpath(utf8Path.c_str(), resolved) != nullptr ? std::string(resolved) : utf8Path;
}

int ReplaceFile(const std::string& utf8Path, const std::function<bool(int fd)>& fill, const ReplaceOptions& options) {
    std::string folder = FolderOf(utf8Path);
    std::string temporary = options.temporaryTemplate;
    if (temporary.empty()) {
        std::size_t slash = utf8Path.rfind('/');
        temporary = folder + "/." + utf8Path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    }
    UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));  // created 0600
    if (!fd.valid()) {
        return errno;
    }
    // The errno of the first failing step; a fill that fails without one still fails.
    auto failed = [] { return errno != 0 ? errno : EIO; };
    int error = 0;
    struct stat existing {};
    if (options.mode) {
        error = fchmod(fd.get(), *options.mode) == 0 ? 0 : failed();
    } else if (!options.createOnly && stat(utf8Path.c_str(), &existing) == 0) {
        error = fchmod(fd.get(), existing.st_mode & 07777) == 0 ? 0 : failed();
        if (error == 0 && (existing.st_uid != geteuid() || existing.st_gid != getegid())) {
            (void)!fchown(fd.get(), existing.st_uid, existing.st_gid);  // only possible with the rights for it
        }
    }
    if (error == 0) {
        errno = 0;
        error = fill(fd.get()) && fsync(fd.get()) == 0 ? 0 : failed();
    }
    if (!fd.Close() && error == 0) {
        error = failed();
    }
    if (error == 0 && options.createOnly) {
        error = link(temporary.c_str(), utf8Path.c_str()) == 0 || errno == EEXIST ? 0 : failed();
        unlink(temporary.c_str());
    } else if (error == 0) {
        error = rename(temporary.c_str(), utf8Path.c_str()) == 0 ? 0 : failed();
    }
    if (error != 0) {
        unlink(temporary.c_str());
        return error;
    }
    if (options.syncFolder) {
        SyncFolder(folder);
    }
    return 0;
}

bool ReplaceFileContents(const std::string& utf8Path, std::string_view bytes) {
    std::string target = FollowLink(utf8Path);
    struct stat existing {};
    // A file its user made read-only stays as it is, as with an in-place write.
    if (stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            errno = EINVAL;
            return false;
        }
        if (access(target.c_str(), W_OK) != 0) {
            return false;
        }
    }
    errno = ReplaceFile(target, [bytes](int fd) { return WriteAll(fd, bytes); });
    return errno == 0;
}

}  // namespace platform
