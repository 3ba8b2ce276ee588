// The part of the transfer worker that makes a finished game archive a game folder beside it.
#include <sys/stat.h>

#include <filesystem>

#include "platform/codepage.h"
#include "platform/settings.h"
#include "tarvane/engine/finished_unpack.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/transfer_worker.h"

namespace tarvane {

namespace {

// How many "NAME (n)" are tried for a folder that is not there yet.
constexpr int kMaxFolderTries = 1000;

bool Exists(const std::string& ansiPath) {
    struct stat info {};
    return lstat(platform::Utf8FromAnsi(ansiPath).c_str(), &info) == 0;
}

// The first of "NAME", "NAME (2)", ... beside the archive that is not there.
std::string FreeGameFolder(const std::string& archivePath, const std::string& name) {
    std::string base = FolderOfPath(archivePath) + name;
    std::string folder = base;
    for (int number = 2; number <= kMaxFolderTries && Exists(folder); ++number) {
        folder = base + " (" + std::to_string(number) + ")";
    }
    return folder;
}

bool SameFolder(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    auto normal = [](const std::string& path) {
        fs::path p = fs::path(platform::Utf8FromAnsi(path)).lexically_normal();
        return p.has_filename() ? p : p.parent_path();
    };
    return !a.empty() && !b.empty() && normal(a) == normal(b);
}

}  // namespace

TransferWorker::RunOutcome TransferWorker::UnpackWholeFile() {
    const std::string archive = data_.path();
    if (platform::Settings(context_.programDirectory).AutoExtract() == 0 ||
        !IsUnpackableArchive(archive.substr(FolderOfPath(archive).size()))) {
        return {RunOutcome::Kind::Completed, ""};
    }
    // The folder is chosen and stored before anything goes in: after a kill, a folder of that name
    // is this task's own and is replaced, not numbered anew.
    const std::string gameName = GameNameFor(archive, launch_.name);
    if (launch_.gameFolder.empty()) {
        launch_.gameFolder = FreeGameFolder(archive, gameName);
    }
    SaveRecordNow(kStateDownloading);
    RemoveStaleStaging(archive);
    ShowPhase(TaskNote::Unpacking);
    std::atomic<bool> stop = false;
    UnpackRequest request;
    request.archivePath = archive;
    request.gameName = gameName;
    request.ownsFolder = [own = launch_.gameFolder](const std::string& folder) { return SameFolder(folder, own); };
    request.progress = [this, &stop](std::int64_t read, std::int64_t total) {
        // A pause, a delete or the program's end stops the unpack; nothing is left under the game's name.
        if (pauseRequested.load() != 0 || !context_.tables.WorkerListed(this)) {
            stop = true;
        }
        ShowCheckProgress(read, total);
    };
    // A part of a set that another task still writes is on disk but not whole: it counts as missing,
    // and the part that finishes last unpacks the set.
    request.partReady = [this](const std::string& part) {
        return !PartBeingWritten(context_.book, context_.tables, part, launch_.id, this);
    };
    UnpackResult result = UnpackGame(request, stop);
    switch (result.outcome) {
        case UnpackOutcome::Stopped:
            return {RunOutcome::Kind::Paused, ""};
        case UnpackOutcome::Done:
            gameFolder_ = result.folder;
            unpackedParts_ = result.parts;
            break;
        case UnpackOutcome::NotArchive:
            break;
        default:
            // The file is whole all the same: the task finishes, and the failure goes with it.
            unpackFailure_ = UnpackFailureText(result);
            break;
    }
    return {RunOutcome::Kind::Completed, ""};
}

}  // namespace tarvane
