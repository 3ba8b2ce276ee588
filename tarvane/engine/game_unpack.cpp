#include "tarvane/engine/game_unpack.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/unique_fd.h"
#include "tarvane/engine/unpack/archive_set.h"
#include "tarvane/engine/unpack/game_folder.h"
#include "tarvane/engine/unpack/parts_source.h"
#include "tarvane/engine/unpack/unpack_pass.h"

namespace tarvane {

namespace {

// The reader gives entries' names in the thread's locale: UTF-8 here, whatever the program's is.
class Utf8Names {
public:
    Utf8Names() : locale_(::newlocale(LC_ALL_MASK, "C.UTF-8", nullptr)) {
        if (locale_ != nullptr) {
            previous_ = ::uselocale(locale_);
        }
    }
    ~Utf8Names() {
        if (locale_ != nullptr) {
            ::uselocale(previous_);
            ::freelocale(locale_);
        }
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = nullptr;
};

std::int64_t RoomIn(const std::string& folder, std::int64_t margin) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        return 0;
    }
    std::int64_t free = static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
    return free > margin ? free - margin : 0;
}

UnpackResult Ended(UnpackOutcome outcome, std::string missingPart = {}) {
    UnpackResult result;
    result.outcome = outcome;
    result.missingPart = std::move(missingPart);
    return result;
}

void RemoveFolder(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

UnpackResult Unpack(const UnpackRequest& request, const ArchiveSet& set, const std::atomic<bool>& stop) {
    std::filesystem::path first(set.parts.front());
    std::string parent = first.parent_path().string();
    std::string staging = StagingFolderFor(first.string());
    RemoveFolder(staging);
    if (::mkdir(staging.c_str(), 0755) != 0) {
        return Ended(UnpackOutcome::WriteFailed);
    }
    platform::UniqueFd stagingFd(::open(staging.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    PartsSource source(stop, request.progress);
    if (!stagingFd.valid() || !source.Open(set.parts)) {
        RemoveFolder(staging);
        return Ended(stagingFd.valid() ? UnpackOutcome::Damaged : UnpackOutcome::WriteFailed);
    }
    std::int64_t room = RoomIn(parent, request.limits.freeMargin);
    UnpackPass pass({set, source, request.limits, request.password, room}, stop);
    UnpackOutcome outcome = pass.Preflight();
    if (outcome == UnpackOutcome::Done) {
        outcome = pass.Run(stagingFd.get());
    }
    stagingFd.Close();
    UnpackResult result = Ended(outcome);
    if (outcome == UnpackOutcome::PartMissing) {
        result.missingPart = platform::AnsiFromUtf8(set.nextPart);
    }
    if (outcome != UnpackOutcome::Done) {
        RemoveFolder(staging);
        return result;
    }
    std::string name = GameFolderName(platform::Utf8FromAnsi(request.gameName), first.filename().string());
    auto owns = [&](const std::string& utf8Folder) {
        return request.ownsFolder && request.ownsFolder(platform::AnsiFromUtf8(utf8Folder));
    };
    std::string placed = PutGameFolderInPlace(staging, parent, name, owns);
    if (placed.empty()) {
        result.outcome = errno == ENOSPC ? UnpackOutcome::NoRoom : UnpackOutcome::WriteFailed;
        RemoveFolder(staging);
        return result;
    }
    result.folder = platform::AnsiFromUtf8(placed);
    for (const std::string& part : set.parts) {
        result.parts.push_back(platform::AnsiFromUtf8(part));
    }
    return result;
}

}  // namespace

UnpackResult UnpackGame(const UnpackRequest& request, const std::atomic<bool>& stop) {
    Utf8Names names;
    std::error_code error;
    // A folder to put the game beside, even for a bare file name.
    std::filesystem::path path = std::filesystem::absolute(platform::Utf8FromAnsi(request.archivePath), error);
    PartReady ready;
    if (request.partReady) {
        ready = [&](const std::string& utf8Part) { return request.partReady(platform::AnsiFromUtf8(utf8Part)); };
    }
    ArchiveSet set = FindArchiveSet(path.string(), ready);
    if (set.parts.empty()) {
        return Ended(UnpackOutcome::NotArchive);
    }
    if (!set.missing.empty()) {
        return Ended(UnpackOutcome::PartMissing, platform::AnsiFromUtf8(set.missing));
    }
    return Unpack(request, set, stop);
}

bool RemoveStaleStaging(const std::string& archivePath) {
    std::error_code error;
    std::string utf8Path = std::filesystem::absolute(platform::Utf8FromAnsi(archivePath), error).string();
    ArchiveSet set = FindArchiveSet(utf8Path);
    std::string staging = StagingFolderFor(set.parts.empty() ? utf8Path : set.parts.front());
    bool found = false;
    for (const std::string& leftover : {staging, AsideFolderFor(staging)}) {
        struct stat info {};
        if (::lstat(leftover.c_str(), &info) == 0) {
            RemoveFolder(leftover);
            found = true;
        }
    }
    return found;
}

}  // namespace tarvane
