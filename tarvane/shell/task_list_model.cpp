#include "tarvane/shell/task_list_model.h"

#include <QTimer>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "desktop/qt_text.h"
#include "tarvane/engine/task_columns.h"

namespace tarvane {

namespace {

// How often the rows take what other threads changed: a few repaints a second.
constexpr int kRefreshIntervalMs = 200;

}  // namespace

// What the book's change callback reaches the model through: a model that is gone is not called.
// Other threads only mark the rows stale; nothing crosses to the model's thread through Qt's event
// queue, whose lock the thread checker cannot see.
struct TaskListModel::Relay {
    std::mutex mutex;
    TaskListModel* model = nullptr;
    std::thread::id owner = std::this_thread::get_id();
    std::atomic<bool> stale{false};
};

TaskListModel::TaskListModel(TaskBook& book, std::array<QIcon, 3> images, QObject* parent)
    : QAbstractTableModel(parent), book_(book), images_(std::move(images)), relay_(std::make_shared<Relay>()) {
    relay_->model = this;
    book_.OnChange([relay = relay_] {
        std::unique_lock lock(relay->mutex);
        if (relay->model != nullptr && std::this_thread::get_id() == relay->owner) {
            TaskListModel* model = relay->model;
            lock.unlock();  // only this thread ends the model
            model->Refresh();
            return;
        }
        relay->stale = true;
    });
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (relay_->stale.exchange(false)) {
            Refresh();
        }
    });
    timer_.start(kRefreshIntervalMs);
    Refresh();
}

TaskListModel::~TaskListModel() {
    std::lock_guard lock(relay_->mutex);
    relay_->model = nullptr;
}

void TaskListModel::Refresh() {
    TaskBook::Changes changes = book_.ChangesSince(version_);
    version_ = changes.version;
    for (TaskId id : changes.removed) {
        if (int row = RowOf(id); row >= 0) {
            beginRemoveRows({}, row, row);
            rows_.erase(rows_.begin() + row);
            endRemoveRows();
        }
    }
    std::vector<TaskEntry> added;
    int first = -1;
    int last = -1;
    for (TaskEntry& entry : changes.changed) {
        int row = RowOf(entry.id);
        if (row < 0) {
            added.push_back(std::move(entry));  // ids grow: a new task goes after every shown one
            continue;
        }
        rows_[static_cast<std::size_t>(row)] = std::move(entry);
        first = first < 0 ? row : std::min(first, row);
        last = std::max(last, row);
    }
    if (first >= 0) {
        emit dataChanged(index(first, 0), index(last, kTaskColumnCount - 1));
    }
    if (!added.empty()) {
        int at = static_cast<int>(rows_.size());
        beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
        std::move(added.begin(), added.end(), std::back_inserter(rows_));
        endInsertRows();
    }
}

const TaskEntry* TaskListModel::At(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)] : nullptr;
}

TaskId TaskListModel::IdOfRow(int row) const {
    const TaskEntry* task = At(row);
    return task != nullptr ? task->id : kNoTask;
}

int TaskListModel::RowOf(TaskId id) const {
    auto found = std::lower_bound(rows_.begin(), rows_.end(), id,
                                  [](const TaskEntry& entry, TaskId wanted) { return entry.id < wanted; });
    return found != rows_.end() && found->id == id ? static_cast<int>(found - rows_.begin()) : -1;
}

bool TaskListModel::AnyRunning() const {
    return std::ranges::any_of(rows_, &TaskEntry::running);
}

std::string TaskListModel::Text(int row, int column) const {
    const TaskEntry* task = At(row);
    return task != nullptr ? TaskCellText(*task, column) : std::string();
}

int TaskListModel::Image(int row) const {
    const TaskEntry* task = At(row);
    return task != nullptr ? TaskImageOf(*task) : -1;
}

// The same text the pointer shows: why it failed, or how it is being fetched.
std::string TaskListModel::Tip(int row) const {
    const TaskEntry* task = At(row);
    return task != nullptr ? TaskTipText(*task) : std::string();
}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TaskListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTaskColumnCount;
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) {
        return {};
    }
    const TaskEntry& task = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return UiText(TaskCellText(task, index.column()));
    }
    if (role == Qt::ToolTipRole) {
        std::string tip = TaskTipText(task);
        return tip.empty() ? QVariant() : QVariant(UiText(tip));
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        return images_[static_cast<std::size_t>(TaskImageOf(task))];
    }
    return {};
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kTaskColumnCount) {
        return QString::fromUtf8(Headings()[static_cast<std::size_t>(section)]);
    }
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

const std::array<const char*, kTaskColumnCount>& TaskListModel::Headings() {
    static const std::array<const char*, kTaskColumnCount> headings = {
        "状态", "文件名称", "文件大小", "已完成", "速度", "剩余时间", "来源页面", "文件类型", "真实地址"};
    return headings;
}

const std::array<int, kTaskColumnCount>& TaskListModel::ColumnWidths() {
    static const std::array<int, kTaskColumnCount> widths = {40, 200, 70, 55, 50, 70, 170, 65, 160};
    return widths;
}

}  // namespace tarvane
