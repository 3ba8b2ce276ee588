#include "tarvane/engine/unpack/game_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace tarvane {

namespace {

// Every name tried before giving up on a folder full of games of one name.
constexpr int kMostNumbers = 999;

bool Exists(const std::string& path, bool& folder) {
    struct stat info {};
    bool there = ::lstat(path.c_str(), &info) == 0;
    folder = there && S_ISDIR(info.st_mode);
    return there;
}

}  // namespace

std::string StagingFolderFor(const std::string& firstPart) {
    std::filesystem::path path(firstPart);
    return (path.parent_path() / ("." + path.filename().string() + ".unpacking")).string();
}

std::string AsideFolderFor(const std::string& staging) {
    return staging + ".old";
}

std::string GameFolderName(const std::string& utf8Name, const std::string& archiveName) {
    std::string name = utf8Name;
    std::replace(name.begin(), name.end(), '/', '_');
    name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
    if (name.empty() || name == "." || name == "..") {
        name = archiveName.substr(0, archiveName.find('.'));
    }
    return name.empty() || name == "." || name == ".." ? "game" : name;
}

std::string PutGameFolderInPlace(const std::string& staging, const std::string& parent, const std::string& name,
                                 const std::function<bool(const std::string& utf8Folder)>& owns) {
    for (int number = 1; number <= kMostNumbers; ++number) {
        std::string target = parent + "/" + name + (number == 1 ? "" : " (" + std::to_string(number) + ")");
        bool folder = false;
        if (!Exists(target, folder)) {
            int moved = ::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
            if (moved != 0 && errno == EINVAL) {
                moved = ::rename(staging.c_str(), target.c_str());  // a file system without the flag (FUSE)
            }
            if (moved == 0) {
                return target;
            }
            if (errno != EEXIST && errno != ENOTEMPTY) {
                return {};
            }
        } else if (folder && owns && owns(target)) {
            // Swapped in one step, so the game's name never stands for half a folder; where the file
            // system cannot, the old folder steps aside into the staging name's place first.
            std::error_code ignored;
            if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
                int error = errno;
                std::string aside = AsideFolderFor(staging);
                std::filesystem::remove_all(aside, ignored);
                if (error != EINVAL || ::rename(target.c_str(), aside.c_str()) != 0) {
                    return {};
                }
                if (::rename(staging.c_str(), target.c_str()) != 0) {
                    ::rename(aside.c_str(), target.c_str());
                    return {};
                }
                std::filesystem::remove_all(aside, ignored);
                return target;
            }
            std::filesystem::remove_all(staging, ignored);
            return target;
        }
    }
    errno = EEXIST;
    return {};
}

}  // namespace tarvane
