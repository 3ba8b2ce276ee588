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

void TaskCommands::AddTask(const AddTaskRequest& request) {
    const DownloadTask& task = request.task;
    std::string realLink = task.fileLink;
    std::string shownName = task.name;
    TaskListView& list = context_.list;
    RowKey key = kNoRowKey;
    if (request.resolve != 0) {
        // A game page is looked up by its worker: the window never waits for the parse service. Any
        // other link names its file already.
        ParseResult parsed = resolver_.IsGamePage(task.fileLink) ? ParseResult{} : resolver_.ResolveLink(task.fileLink);
        realLink = parsed.realLink;
        shownName = parsed.fileName.empty() ? task.name : parsed.fileName;
        // A link handed over without a name still names its file.
        if (shownName.empty()) {
            shownName = NameFromUrl(realLink);
        }
        // The name becomes part of a path: it must stay one plain file name.
        if (!shownName.empty() || !realLink.empty()) {
            shownName = PlainFileName(shownName);
        }

        DownloadTask stored = task;
        stored.name = shownName;
        stored.fileLink = realLink;
        stored.flag = std::to_string(kStateDownloading);
        stored.size.clear();
        stored.downloadedSize.clear();
        stored.type.clear();
        context_.store.AddDownload(stored);

        int row = list.InsertRow(list.RowCount(), "");
        key = list.KeyOfRow(row);
        list.SetImage(row, kImageIdle);
        list.SetSubItemText(row, kColumnName, shownName);
        list.SetSubItemText(row, kColumnSize, "0B");
        list.SetSubItemText(row, kColumnPercent, "0%");
        list.SetSubItemText(row, kColumnSpeed, "0K/S");
        list.SetSubItemText(row, kColumnTimeLeft, realLink.empty() ? ReasonLookingUp() : "00:00:00");
        list.SetSubItemText(row, kColumnPage, task.frmPge);
        list.SetSubItemText(row, kColumnType, "");
        list.SetSubItemText(row, kColumnLink, realLink);
    } else {
        key = list.KeyOfRow(request.row);
        // A row without a stored task has nothing to start.
        if (key == kNoRowKey || task.frmPge.empty()) {
            return;
        }
    }

    TaskLaunch launch;
    launch.key = key;
    launch.name = shownName;
    launch.frmPge = task.frmPge;
    launch.fileLink = realLink;
    launch.path = task.path;
    launch.size = request.resolve != 0 ? "" : task.size;
    launch.downloadedSize = request.resolve != 0 ? "" : task.downloadedSize;
    launch.type = request.resolve != 0 ? "" : task.type;  // a begun task keeps its data file's type
    launch.prxIP = task.prxIP;
    launch.prxPort = task.prxPort;
    launch.prxName = task.prxName;
    launch.prxPwd = task.prxPwd;
    launch.agent = task.agent;
    launch.etag = task.etag;
    launch.lastModified = task.lastModified;
    launch.listView = &context_.list;
    platform::Settings settings(context_.programDirectory);
    // A task that already runs or waits is left as it is: never two writers on one data file.
    scheduler_.StartOrWait(launch, EffectiveTaskLimit(settings.MaxTaskNum()));
}

int TaskCommands::GetTaskState(int row, const std::string& page) const {
    if (auto state = context_.tables.WorkerStateOf(context_.list.KeyOfRow(row))) {
        return *state;
    }
    int stored = std::atoi(context_.store.GetDownloadField(page, "flag").c_str());
    return stored != 0 ? stored : -1;
}

void TaskCommands::StartTask(int row) {
    if (row < 0 || row >= context_.list.RowCount()) {
        return;
    }
    AddTaskRequest request;
    // By its page, the key of a task: two tasks may share a file link.
    request.task = context_.store.GetDownload(context_.list.SubItemText(row, kColumnPage));
    request.resolve = 0;
    request.row = row;
    AddTask(request);
}

void TaskCommands::PauseTask(int row) {
    if (row >= 0) {
        context_.tables.RequestPause(context_.list.KeyOfRow(row));
    }
}

void TaskCommands::DeleteTask(int row) {
    if (row < 0 || row >= context_.list.RowCount()) {
        return;
    }
    // The question runs a nested event loop in which rows may come and go: the task is held by
    // its key, and its row found again after the answer.
    RowKey key = context_.list.KeyOfRow(row);
    std::string page = context_.list.SubItemText(row, kColumnPage);
    if (ports_.messages.Show(Ansi("您确定要删除选中的任务吗？"), platform::kCaption, MessageButtons::OkCancel) !=
            MessageAnswer::Ok ||
        context_.list.RowOfKey(key) < 0) {
        return;
    }
    // A waiting task leaves the queue; a running one is asked to stop and records nothing more.
    context_.tables.Forget(key);
    DownloadTask stored = context_.store.GetDownload(page);
    context_.store.DeleteDownload(page);
    context_.list.DeleteRowOf(key);
    // A task that never reached its transfer has no data file of its own.
    if (!stored.type.empty() && !stored.name.empty()) {
        unlink(platform::Utf8FromAnsi(DataFilePath(stored.path, stored.name, stored.type)).c_str());
    }
}

std::vector<TaskMenuItem> TaskCommands::MenuForRow(int row) {
    if (row < 0 || row >= context_.list.RowCount()) {
        return {};
    }
    int state = GetTaskState(row, context_.list.SubItemText(row, kColumnPage));
    if (state == -1) {
        ports_.messages.Show(Ansi("正在计算右键数据……，请稍后再试"), applicationTitle_, MessageButtons::Ok);
        return {};
    }
    return TaskMenuFor(state);
}

void TaskCommands::OpenFolder(int row) {
    if (row < 0 || row >= context_.list.RowCount()) {
        return;
    }
    // The stored item names the data file; the row's name column shows "name.type" once it ran.
    DownloadTask stored = context_.store.GetDownload(context_.list.SubItemText(row, kColumnPage));
    std::string file = DataFilePath(stored.path, stored.name, stored.type);
    if (!stored.type.empty() && FileExists(file)) {
        ports_.desktop.ShowFileInFolder(file);
    } else {
        ports_.desktop.OpenFolder(FolderOfPath(file));
    }
}

void TaskCommands::CopyLink(int row) {
    if (row >= 0 && row < context_.list.RowCount()) {
        ports_.clipboard.PutText(context_.list.SubItemText(row, kColumnLink));
    }
}

void TaskCommands::BrowseSourcePage(int row) {
    if (row >= 0 && row < context_.list.RowCount()) {
        ports_.desktop.OpenWebPage(context_.list.SubItemText(row, kColumnPage));
    }
}

void TaskCommands::RunMenuCommand(int command, int row) {
    using RowCommand = void (TaskCommands::*)(int);
    static const std::map<int, RowCommand> kRowCommands = {
        {kCommandStart, &TaskCommands::StartTask},   {kCommandPause, &TaskCommands::PauseTask},
        {kCommandDelete, &TaskCommands::DeleteTask}, {kCommandOpenFolder, &TaskCommands::OpenFolder},
        {kCommandCopyLink, &TaskCommands::CopyLink}, {kCommandBrowsePage, &TaskCommands::BrowseSourcePage},
    };
    if (auto found = kRowCommands.find(command); found != kRowCommands.end()) {
        (this->*found->second)(row);
    } else if (row != -1) {
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

int TaskCommands::FindTaskRow(const std::string& page) const {
    int rows = context_.list.RowCount();
    for (int row = 0; row < rows; ++row) {
        if (context_.list.SubItemText(row, kColumnPage) == page) {
            return row;
        }
    }
    return -1;
}

bool TaskCommands::KnowsPage(const std::string& page) const {
    return FindTaskRow(page) >= 0 || context_.store.HasUnsaved(page);
}

}  // namespace tarvane
