#include "tarvane/shell/task_list_model.h"

#include <QThread>
#include <QTimer>
#include <set>

#include "desktop/qt_text.h"

namespace tarvane {

namespace {

// How often the rows take what workers published: a few repaints a second, whatever their number.
constexpr int kApplyIntervalMs = 200;

}  // namespace

struct TaskListModel::Call {
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
};

TaskListModel::TaskListModel(std::array<QIcon, 3> images, QObject* parent)
    : QAbstractTableModel(parent), images_(std::move(images)) {}

TaskListModel::~TaskListModel() {
    Detach();
}

void TaskListModel::Detach() {
    std::lock_guard lock(callsMutex_);
    detached_ = true;
    for (auto& call : pending_) {
        call->abandoned = true;
        call->done.notify_all();
    }
    pending_.clear();
    published_.clear();
}

bool TaskListModel::Publish(Published change) {
    if (QThread::currentThread() == thread()) {
        return false;
    }
    std::lock_guard lock(callsMutex_);
    if (detached_) {
        return true;
    }
    published_.push_back(std::move(change));
    if (!applyScheduled_) {
        applyScheduled_ = true;
        QMetaObject::invokeMethod(
            this, [this] { QTimer::singleShot(kApplyIntervalMs, this, [this] { ApplyPublished(); }); },
            Qt::QueuedConnection);
    }
    return true;
}

void TaskListModel::ApplyPublished() {
    std::vector<Published> changes;
    {
        std::lock_guard lock(callsMutex_);
        changes.swap(published_);
        applyScheduled_ = false;
    }
    std::set<RowKey> changed;
    for (Published& change : changes) {
        int row = FindKey(change.key);
        if (row < 0) {
            continue;  // the row left the list meanwhile
        }
        Row& target = rows_[static_cast<std::size_t>(row)];
        switch (change.kind) {
            case Published::Kind::Image:
                target.image = change.value;
                break;
            case Published::Kind::Text:
                if (change.value >= 0 && change.value < kTaskColumnCount) {
                    target.texts[static_cast<std::size_t>(change.value)] = std::move(change.text);
                }
                break;
            case Published::Kind::Tip:
                target.tip = std::move(change.text);
                break;
            case Published::Kind::Delete:
                RemoveRow(row);
                changed.erase(change.key);
                continue;
        }
        changed.insert(change.key);
    }
    for (RowKey key : changed) {
        if (int row = FindKey(key); row >= 0) {
            emit dataChanged(index(row, 0), index(row, kTaskColumnCount - 1));
        }
    }
}

bool TaskListModel::Serve(const std::function<void()>& work) const {
    if (QThread::currentThread() == thread()) {
        work();
        return true;
    }
    auto call = std::make_shared<Call>();
    std::unique_lock lock(callsMutex_);
    if (detached_) {
        return false;
    }
    pending_.push_back(call);
    // Queued to the model's thread; a model destroyed first drops the event with it.
    QMetaObject::invokeMethod(
        const_cast<TaskListModel*>(this),
        [this, call, &work] {
            {
                std::lock_guard guard(callsMutex_);
                if (call->abandoned) {
                    return;
                }
            }
            work();
            std::lock_guard guard(callsMutex_);
            call->finished = true;
            std::erase(pending_, call);
            call->done.notify_all();
        },
        Qt::QueuedConnection);
    call->done.wait(lock, [&] { return call->finished || call->abandoned; });
    return call->finished;
}

int TaskListModel::InsertRow(int row, const std::string& text) {
    int result = -1;
    Serve([&] {
        int at = std::clamp(row, 0, static_cast<int>(rows_.size()));
        beginInsertRows({}, at, at);
        Row fresh;
        fresh.texts[0] = text;
        fresh.key = ++lastKey_;
        rows_.insert(rows_.begin() + at, std::move(fresh));
        endInsertRows();
        result = at;
    });
    return result;
}

int TaskListModel::FindKey(RowKey key) const {
    if (key == kNoRowKey) {
        return -1;
    }
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].key == key) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

void TaskListModel::WriteImage(int row, int image) {
    if (row >= 0 && row < static_cast<int>(rows_.size())) {
        rows_[static_cast<std::size_t>(row)].image = image;
        emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole});
    }
}

void TaskListModel::WriteText(int row, int column, const std::string& text) {
    if (row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < kTaskColumnCount) {
        rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)] = text;
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    }
}

void TaskListModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void TaskListModel::SetImage(int row, int image) {
    Serve([&] { WriteImage(row, image); });
}

void TaskListModel::SetSubItemText(int row, int column, const std::string& text) {
    Serve([&] { WriteText(row, column, text); });
}

std::string TaskListModel::SubItemText(int row, int column) const {
    std::string text;
    Serve([&] {
        if (row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < kTaskColumnCount) {
            text = rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
        }
    });
    return text;
}

bool TaskListModel::DeleteRow(int row) {
    bool deleted = false;
    Serve([&] {
        if (row >= 0 && row < static_cast<int>(rows_.size())) {
            RemoveRow(row);
            deleted = true;
        }
    });
    return deleted;
}

int TaskListModel::RowCount() const {
    int count = 0;
    Serve([&] { count = static_cast<int>(rows_.size()); });
    return count;
}

RowKey TaskListModel::KeyOfRow(int row) const {
    RowKey key = kNoRowKey;
    Serve([&] {
        if (row >= 0 && row < static_cast<int>(rows_.size())) {
            key = rows_[static_cast<std::size_t>(row)].key;
        }
    });
    return key;
}

int TaskListModel::RowOfKey(RowKey key) const {
    int row = -1;
    Serve([&] { row = FindKey(key); });
    return row;
}

void TaskListModel::SetImageOf(RowKey key, int image) {
    if (!Publish({key, Published::Kind::Image, image, {}})) {
        WriteImage(FindKey(key), image);
    }
}

void TaskListModel::SetTextOf(RowKey key, int column, const std::string& text) {
    if (!Publish({key, Published::Kind::Text, column, text})) {
        WriteText(FindKey(key), column, text);
    }
}

void TaskListModel::SetTipOf(RowKey key, const std::string& text) {
    if (Publish({key, Published::Kind::Tip, 0, text})) {
        return;
    }
    if (int row = FindKey(key); row >= 0) {
        rows_[static_cast<std::size_t>(row)].tip = text;
        emit dataChanged(index(row, 0), index(row, kTaskColumnCount - 1), {Qt::ToolTipRole});
    }
}

bool TaskListModel::DeleteRowOf(RowKey key) {
    // Published from a worker, the row goes with the next repaint; answered as done.
    if (Publish({key, Published::Kind::Delete, 0, {}})) {
        return true;
    }
    int row = FindKey(key);
    if (row < 0) {
        return false;
    }
    RemoveRow(row);
    return true;
}

int TaskListModel::Image(int row) const {
    int image = -1;
    Serve([&] {
        if (row >= 0 && row < static_cast<int>(rows_.size())) {
            image = rows_[static_cast<std::size_t>(row)].image;
        }
    });
    return image;
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
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return UiText(row.texts[static_cast<std::size_t>(index.column())]);
    }
    if (role == Qt::ToolTipRole && !row.tip.empty()) {
        return UiText(row.tip);
    }
    if (role == Qt::DecorationRole && index.column() == 0 && row.image >= 0 && row.image < 3) {
        return images_[static_cast<std::size_t>(row.image)];
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
