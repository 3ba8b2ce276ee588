#include "tarvane/engine/task_commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "platform/caption.h"
#include "platform/codepage.h"
#include "platform/settings.h"
#include "tarvane/engine/failure_reason.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/segment_map.h"

namespace tarvane {

namespace {

std::string Ansi(const char* utf8) {
    return platform::AnsiFromUtf8(utf8);
}

bool FileExists(const std::string& ansiPath) {
    struct stat info {};
    return stat(platform::Utf8FromAnsi(ansiPath).c_str(), &info) == 0;
}

}  // namespace

TaskCommands::TaskCommands(EngineContext& context, TransferScheduler& scheduler, const LinkResolver& resolver,
                           Ports ports, std::string applicationTitle)
    : context_(context),
      scheduler_(scheduler),
      resolver_(resolver),
      ports_(ports),
      applicationTitle_(std::move(applicationTitle)) {}

void TaskCommands::ListStoredTasks() {
    std::vector<TaskEntry> entries;
    for (const DownloadTask& task : context_.store.ListDownloads()) {
        entries.push_back(EntryFromStored(task));
    }
    context_.book.AddAll(std::move(entries));
}

TaskId TaskCommands::AddTask(const AddTaskRequest& request) {
    TaskLaunch launch;
    static_cast<DownloadTask&>(launch) = request.task;
    if (request.resolve != 0) {
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
        launch.flag = std::to_string(kStateDownloading);
        launch.size.clear();
        launch.downloadedSize.clear();
        launch.type.clear();  // a begun task keeps its data file's type; a new one has none yet
        launch.error.clear();
        context_.store.AddDownload(launch);

        TaskEntry entry;
        entry.page = launch.frmPge;
        entry.name = launch.name;
        entry.fileLink = launch.fileLink;
        entry.state = kStateDownloading;
        entry.fresh = true;
        entry.speedKBps = 0;
        entry.note = launch.fileLink.empty() ? TaskNote::LookingUp : TaskNote::Starting;
        launch.id = context_.book.Add(std::move(entry));
    } else {
        launch.id = request.id;
        // A task that is not listed, or not stored, has nothing to start.
        if (!context_.book.Get(launch.id) || launch.frmPge.empty()) {
            return kNoTask;
        }
    }

    platform::Settings settings(context_.programDirectory);
    // A task that already runs or waits is left as it is: never two writers on one data file.
    auto start = scheduler_.StartOrWait(launch, EffectiveTaskLimit(settings.MaxTaskNum()));
    if (start == TransferScheduler::Start::QueueFull || start == TransferScheduler::Start::Stopping) {
        // Nothing will start it: it stays listed and stored as paused, to be started by hand.
        context_.store.SetDownloadField(launch.frmPge, "flag", std::to_string(kStatePaused));
        context_.book.Update(launch.id, [](TaskEntry& task) {
            task.state = kStatePaused;
            task.note = TaskNote::None;
        });
    }
    return launch.id;
}

int TaskCommands::GetTaskState(TaskId id) const {
    if (auto state = context_.tables.WorkerStateOf(id)) {
        return *state;
    }
    auto task = context_.book.Get(id);
    int stored = task ? std::atoi(context_.store.GetDownloadField(task->page, "flag").c_str()) : 0;
    return stored != 0 ? stored : -1;
}

void TaskCommands::StartTask(TaskId id) {
    auto task = context_.book.Get(id);
    if (!task) {
        return;
    }
    AddTaskRequest request;
    // By its page, the key of a task: two tasks may share a file link.
    request.task = context_.store.GetDownload(task->page);
    request.id = id;
    AddTask(request);
}

void TaskCommands::PauseTask(TaskId id) {
    context_.tables.RequestPause(id);
}

void TaskCommands::DeleteTask(TaskId id) {
    if (!context_.book.Get(id)) {
        return;
    }
    // The question runs a nested event loop in which tasks may finish or go: the task is asked for
    // again after the answer.
    if (ports_.messages.Show(Ansi("您确定要删除选中的任务吗？"), platform::kCaption, MessageButtons::OkCancel) !=
        MessageAnswer::Ok) {
        return;
    }
    auto task = context_.book.Get(id);
    // A task that is finishing right now goes to the finished list with its file.
    if (!task || !context_.tables.BeginDelete(id)) {
        return;
    }
    DownloadTask stored = context_.store.GetDownload(task->page);
    context_.store.DeleteDownload(task->page);
    context_.book.Remove(id);
    // A task that never reached its transfer has no data file of its own.
    if (!stored.type.empty() && !stored.name.empty()) {
        std::string file = DataFilePath(stored.path, stored.name, stored.type);
        unlink(platform::Utf8FromAnsi(file).c_str());
        RemoveSegmentMap(file);
    }
}

std::vector<TaskMenuItem> TaskCommands::MenuFor(TaskId id) {
    if (!context_.book.Get(id)) {
        return {};
    }
    int state = GetTaskState(id);
    if (state == -1) {
        ports_.messages.Show(Ansi("正在计算右键数据……，请稍后再试"), applicationTitle_, MessageButtons::Ok);
        return {};
    }
    return TaskMenuFor(state);
}

void TaskCommands::OpenFolder(TaskId id) {
    auto task = context_.book.Get(id);
    if (!task) {
        return;
    }
    // The stored item names the data file.
    DownloadTask stored = context_.store.GetDownload(task->page);
    std::string file = DataFilePath(stored.path, stored.name, stored.type);
    if (!stored.type.empty() && FileExists(file)) {
        ports_.desktop.ShowFileInFolder(file);
    } else {
        ports_.desktop.OpenFolder(FolderOfPath(file));
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

void TaskCommands::RunMenuCommand(int command, TaskId id) {
    using TaskCommand = void (TaskCommands::*)(TaskId);
    static const std::map<int, TaskCommand> kTaskCommands = {
        {kCommandStart, &TaskCommands::StartTask},   {kCommandPause, &TaskCommands::PauseTask},
        {kCommandDelete, &TaskCommands::DeleteTask}, {kCommandOpenFolder, &TaskCommands::OpenFolder},
        {kCommandCopyLink, &TaskCommands::CopyLink}, {kCommandBrowsePage, &TaskCommands::BrowseSourcePage},
    };
    if (auto found = kTaskCommands.find(command); found != kTaskCommands.end()) {
        (this->*found->second)(id);
    } else if (id != kNoTask) {
        ShowNotice(command);
    }
}

void TaskCommands::ShowNotice(int command) {
    const char* text = command == kCommandPlay         ? "播放"
                       : command == kCommandOpenFile   ? "打开文件"
                       : command == kCommandProperties ? "任务属性暂未实施！"
                                                       : nullptr;
    if (text != nullptr) {
        ports_.messages.Show(Ansi(text), applicationTitle_, MessageButtons::Ok);
    }
}

TaskId TaskCommands::FindTask(const std::string& page) const {
    return context_.book.FindPage(page);
}

bool TaskCommands::KnowsPage(const std::string& page) const {
    return FindTask(page) != kNoTask || context_.store.HasUnsaved(page);
}

}  // namespace tarvane
