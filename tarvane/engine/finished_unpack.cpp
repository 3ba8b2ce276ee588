#include "tarvane/engine/finished_unpack.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

#include "platform/codepage.h"
#include "platform/settings.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/unpack/archive_set.h"

namespace tarvane {

namespace {

// The parts of the archive's set as they lie in its folder (code page 936); the archive alone when
// it is none.
std::vector<std::string> PartsOf(const std::string& archivePath) {
    std::vector<std::string> parts;
    for (const std::string& part : FindArchiveSet(platform::Utf8FromAnsi(archivePath)).parts) {
        parts.push_back(platform::AnsiFromUtf8(part));
    }
    return parts.empty() ? std::vector<std::string>{archivePath} : parts;
}

}  // namespace

bool IsPartOfSet(const std::string& archivePath) {
    // By its name first: the first part of a set is alone on the disk until the others arrive.
    if (IsNumberedPart(archivePath.substr(FolderOfPath(archivePath).size()))) {
        return true;
    }
    ArchiveSet set = FindArchiveSet(platform::Utf8FromAnsi(archivePath));
    return set.parts.size() > 1 || !set.missing.empty() || set.open || set.spannedZip;
}

std::string GameNameFor(const std::string& archivePath, const std::string& taskName) {
    if (!IsPartOfSet(archivePath)) {
        return taskName;
    }
    // Whichever part finished last, the folder is named after what every part's name begins with.
    std::string first = PartsOf(archivePath).front();
    static const std::regex kSuffix(R"((\.part\d+\.rar|\.(7z|zip|rar)\.\d+|\.z\d\d|\.zip|\.rar|\.r\d\d)$)",
                                    std::regex::icase);
    std::string name = std::regex_replace(first.substr(FolderOfPath(first).size()), kSuffix, "");
    return name.empty() ? taskName : name;
}

bool PartBeingWritten(const TaskBook& book, const TaskTables& tables, const std::string& part, TaskId exceptTask,
                      const WorkerControl* except) {
    // A worker claims its file before it makes it, so no part is on disk unclaimed while it is written.
    if (tables.PathClaimedByAnother(part, except)) {
        return true;
    }
    for (TaskId id : book.Ids()) {
        auto task = book.Get(id);
        if (id != exceptTask && task && !task->type.empty() && !task->name.empty() &&
            DataFilePath(task->path, task->name, task->type) == part) {
            return true;
        }
    }
    return false;
}

namespace {

bool SyncFileSystemOf(const std::string& folder) {
    int fd = open(platform::Utf8FromAnsi(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool synced = syncfs(fd) == 0;
    close(fd);
    return synced;
}

}  // namespace

void AfterUnpacked(TaskBook& book, const std::vector<std::string>& parts, const std::string& folder,
                   bool deleteArchive) {
    if (parts.empty()) {
        return;
    }
    // Only entries that could not be unpacked, beside the archive, can be another part's.
    for (const CompletedItem& item : book.FinishedTasks()) {
        if (!item.unpackFailure.empty() && item.gameFolder != folder &&
            FolderOfPath(item.path) == FolderOfPath(parts.front()) &&
            std::find(parts.begin(), parts.end(), item.path) != parts.end()) {
            book.UpdateFinished(item.frmPge, [&folder](CompletedItem& entry) {
                entry.gameFolder = folder;
                entry.unpackFailure.clear();
            });
        }
    }
    // The game's files reach the disk before the archive they came from goes: a power cut after the
    // delete must not cost both.
    if (deleteArchive && SyncFileSystemOf(folder)) {
        for (const std::string& part : parts) {
            unlink(platform::Utf8FromAnsi(part).c_str());
        }
    }
}

UnpackResult FinishedUnpack::Unpack(const std::string& page, const std::string& password,
                                    const std::atomic<bool>& stop) {
    std::vector<CompletedItem> finished = book_.FinishedTasks();
    auto entry = std::find_if(finished.begin(), finished.end(),
                              [&page](const CompletedItem& item) { return item.frmPge == page; });
    if (entry == finished.end()) {
        return {UnpackOutcome::NotArchive, "", "", {}};
    }
    UnpackRequest request;
    request.archivePath = entry->path;
    request.gameName = GameNameFor(entry->path, entry->name);
    {
        std::lock_guard lock(mutex_);
        if (!password.empty()) {
            passwords_[page] = password;
        }
        auto kept = passwords_.find(page);
        request.password = kept == passwords_.end() ? "" : kept->second;
    }
    // A folder this entry was unpacked into before is replaced, not numbered anew.
    request.ownsFolder = [own = entry->gameFolder](const std::string& folder) { return !own.empty() && folder == own; };
    request.partReady = [this](const std::string& part) {
        return !PartBeingWritten(book_, tables_, part, kNoTask, nullptr);
    };
    RemoveStaleStaging(entry->path);
    UnpackResult result = UnpackGame(request, stop);
    if (result.outcome == UnpackOutcome::Stopped || result.outcome == UnpackOutcome::NotArchive) {
        return result;
    }
    if (result.outcome == UnpackOutcome::Done || result.outcome == UnpackOutcome::WrongPassword) {
        std::lock_guard lock(mutex_);
        passwords_.erase(page);
    }
    book_.UpdateFinished(page, [&result](CompletedItem& item) {
        if (result.outcome == UnpackOutcome::Done) {
            item.gameFolder = result.folder;
        }
        item.unpackFailure = UnpackFailureText(result);
    });
    if (result.outcome == UnpackOutcome::Done) {
        AfterUnpacked(book_, result.parts, result.folder,
                      platform::Settings(programDirectory_).DeleteArchiveAfterExtract() != 0);
    }
    return result;
}

}  // namespace tarvane
