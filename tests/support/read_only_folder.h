#pragma once

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace tarvane::test {

// A folder nothing can be written into or removed from while this lives: by its mode for a user,
// by a read-only bind mount for root, whom modes do not stop. Not Ready() where neither works.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string path) : path_(std::move(path)) {
        if (geteuid() != 0) {
            ready_ = chmod(path_.c_str(), 0555) == 0;
        } else if (mount(path_.c_str(), path_.c_str(), nullptr, MS_BIND, nullptr) == 0) {
            mounted_ = true;
            ready_ = mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        }
    }
    ~ReadOnlyFolder() {
        if (mounted_) {
            umount2(path_.c_str(), MNT_DETACH);
        } else if (ready_) {
            chmod(path_.c_str(), 0755);
        }
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Ready() const { return ready_; }

private:
    std::string path_;
    bool mounted_ = false;
    bool ready_ = false;
};

}  // namespace tarvane::test
