#include "tarvane/engine/task_commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/settings.h"
#include "tarvane/engine/data_file.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/segment_map.h"

namespace tarvane {

namespace {

bool FileExists(const std::string& ansiPath) {
    struct stat info {};
    return stat(platform::Utf8FromAnsi(ansiPath).c_str(), &info) == 0;
}

// The data file of a task that has begun its transfer; empty before.
std::string DataFileOf(const TaskEntry& task) {
    return task.type.empty() || task.name.empty() ? "" : DataFilePath(task.path, task.name, task.type);
}

}  // namespace

TaskCommands::TaskCommands(EngineContext& context, TransferScheduler& scheduler, const LinkResolver& resolver,
                           Ports ports)
    : context_(context), scheduler_(scheduler), resolver_(resolver), ports_(ports) {}

TaskId TaskCommands::AddTask(const AddTaskRequest& request) {
    TaskLaunch launch;
    if (request.resolve != 0) {
        static_cast<DownloadTask&>(launch) = request.task;
        // A game page is looked up by its worker: nobody waits for the parse service. Any other link
        // names its file already.
        ParseResult parsed =
            resolver_.IsGamePage(launch.fileLink) ? ParseResult{} : resolver_.ResolveLink(launch.fileLink);
        launch.fileLink = parsed.realLink;
        std::string name = parsed.fileName.empty() ? launch.name : parsed.fileName;
        // A link handed over without a name still names its file.
        if (name.empty()) {
            name = NameFromUrl(launch.fileLink);
        }
        // The name becomes part of a path: it must stay one plain file name.
        launch.name = !name.empty() || !launch.fileLink.empty() ? PlainFileName(name) : name;
        launch.size.clear();
        launch.downloadedSize.clear();
        launch.type.clear();  // a begun task keeps its data file's type; a new one has none yet
        launch.error.clear();
        launch.etag.clear();
        launch.lastModified.clear();
        launch.digest.clear();

        TaskEntry entry = EntryFromStored(launch);
        entry.state = kStateDownloading;
        entry.fresh = true;
        entry.speedKBps = 0;
        entry.note = launch.fileLink.empty() ? TaskNote::LookingUp : TaskNote::Starting;
        launch.id = context_.book.Add(std::move(entry));
        // Stored before anything is fetched: a kill leaves no data file whose task the next start
        // does not know.
        if (context_.saveNow) {
            context_.saveNow();
        }
    } else {
        auto task = context_.book.Get(request.id);
        // A task that is not listed has nothing to start.
        if (!task || task->page.empty()) {
            return kNoTask;
        }
        static_cast<DownloadTask&>(launch) = StoredForm(*task);
        launch.id = request.id;
    }

    platform::Settings settings(context_.programDirectory);
    // A task that already runs or waits is left as it is: never two writers on one data file.
    auto start = scheduler_.StartOrWait(launch, EffectiveTaskLimit(settings.MaxTaskNum()));
    if (start == TransferScheduler::Start::QueueFull || start == TransferScheduler::Start::Stopping) {
        // Nothing will start it: it stays listed and stored as paused, to be started by hand.
        context_.book.Update(
            launch.id,
            [](TaskEntry& task) {
                task.state = kStatePaused;
                task.note = TaskNote::None;
            },
            Saving::Now);
    }
    return launch.id;
}

int TaskCommands::GetTaskState(TaskId id) const {
    if (auto state = context_.tables.WorkerStateOf(id)) {
        return *state;
    }
    auto task = context_.book.Get(id);
    return task ? task->state : -1;
}

void TaskCommands::StartTask(TaskId id) {
    AddTaskRequest request;
    request.id = id;
    AddTask(request);
}

void TaskCommands::PauseTask(TaskId id) {
    context_.tables.RequestPause(id);
}

DeleteOutcome TaskCommands::DeleteTask(TaskId id) {
    auto task = context_.book.Get(id);
    if (!task) {
        return DeleteOutcome::Gone;
    }
    // A task that is finishing right now goes to the finished list with its file.
    if (!context_.tables.BeginDelete(id)) {
        return DeleteOutcome::Finishing;
    }
    if (!context_.book.Remove(id)) {
        return DeleteOutcome::Gone;
    }
    // A worker that still runs takes its file away as it ends; a task that never reached its
    // transfer has none.
    if (std::string file = DataFileOf(*task); !file.empty() && !context_.book.IsFinishedFile(file)) {
        unlink(platform::Utf8FromAnsi(file).c_str());
        unlink(platform::Utf8FromAnsi(ReplacementPath(file)).c_str());
        RemoveSegmentMap(file);
    }
    return DeleteOutcome::Deleted;
}

std::vector<TaskMenuItem> TaskCommands::MenuFor(TaskId id) const {
    return TaskMenuFor(GetTaskState(id));
}

void TaskCommands::OpenFolder(TaskId id) {
    auto task = context_.book.Get(id);
    if (!task) {
        return;
    }
    std::string file = DataFileOf(*task);
    if (!file.empty() && FileExists(file)) {
        ports_.desktop.ShowFileInFolder(file);
    } else {
        ports_.desktop.OpenFolder(FolderOfPath(DataFilePath(task->path, task->name, task->type)));
    }
}

void TaskCommands::CopyLink(TaskId id) {
    if (auto task = context_.book.Get(id)) {
        ports_.clipboard.PutText(task->fileLink);
    }
}

void TaskCommands::BrowseSourcePage(TaskId id) {
    if (auto task = context_.book.Get(id)) {
        ports_.desktop.OpenWebPage(task->page);
    }
}

bool TaskCommands::RunMenuCommand(int command, TaskId id) {
    switch (command) {
        case kCommandStart:
            StartTask(id);
            return true;
        case kCommandPause:
            PauseTask(id);
            return true;
        case kCommandOpenFolder:
            OpenFolder(id);
            return true;
        case kCommandCopyLink:
            CopyLink(id);
            return true;
        case kCommandBrowsePage:
            BrowseSourcePage(id);
            return true;
        default:
            return false;
    }
}

TaskId TaskCommands::FindTask(const std::string& page) const {
    return context_.book.FindPage(page);
}

PageLocation TaskCommands::LocatePage(const std::string& page) const {
    return context_.book.LocatePage(page);
}

}  // namespace tarvane
