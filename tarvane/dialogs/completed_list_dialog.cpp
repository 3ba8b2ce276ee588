#include "tarvane/dialogs/completed_list_dialog.h"

#include <unistd.h>

#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/codepage.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tarvane/dialogs/dialog_units.h"
#include "tarvane/engine/byte_count.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/format_size.h"

namespace tarvane {

namespace {

struct Column {
    const char* heading;
    int width;
};

constexpr std::array<Column, 5> kColumns = {{
    {"文件名称", 250},
    {"文件大小", 70},
    {"文件类型", 70},
    {"来源页面", 340},
    {"完成时间", 150},
}};

bool IsSwf(const std::string& type) {
    return type.size() == 3 && (type[0] | 0x20) == 's' && (type[1] | 0x20) == 'w' && (type[2] | 0x20) == 'f';
}

// A relative path that starts with '-' would read as an option of the program it is handed to.
std::string AsArgument(const std::string& utf8Path) {
    return !utf8Path.empty() && utf8Path[0] == '-' ? "./" + utf8Path : utf8Path;
}

}  // namespace

CompletedListDialog::CompletedListDialog(DialogEnvironment environment, CompletedListPorts ports, QWidget* parent)
    : QWidget(parent),
      environment_(std::move(environment)),
      ports_(ports),
      list_(new QTableWidget(this)),
      rows_(*list_) {
    setFont(DialogTemplateFont());
    DialogUnits units;
    resize(units.X(596), units.Y(293));

    list_->setGeometry(rect());
    list_->setObjectName(QStringLiteral("list1032"));
    list_->setColumnCount(static_cast<int>(kColumns.size()));
    for (int column = 0; column < static_cast<int>(kColumns.size()); ++column) {
        auto* heading = new QTableWidgetItem(QString::fromUtf8(kColumns[column].heading));
        heading->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list_->setHorizontalHeaderItem(column, heading);
        list_->setColumnWidth(column, kColumns[column].width);
    }
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setFrameShape(QFrame::Box);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QTableWidget::customContextMenuRequested, this, &CompletedListDialog::ShowContextMenu);
    connect(list_, &QTableWidget::doubleClicked, this, &CompletedListDialog::ActivateSelection);
    // Like a list view's selection mark: set by selecting a row, kept when the selection is lost.
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty()) {
                    selectionMark_ = selected.indexes().first().row();
                }
            });

    ReloadList();
}

CompletedListDialog::~CompletedListDialog() {
    StopUnpack();
}

void CompletedListDialog::StopUnpack() {
    // The unpack stops at its next block and leaves nothing under the game's name.
    stopUnpack_ = true;
    if (unpacker_.joinable()) {
        unpacker_.join();
    }
}

void CompletedListDialog::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    list_->setGeometry(rect());
}

void CompletedListDialog::ReloadList() {
    list_->setRowCount(0);
    selectionMark_ = -1;
    std::vector<CompletedItem> items = ports_.tasks.FinishedTasks();
    for (std::size_t i = 0; i < items.size(); ++i) {
        int row = rows_.InsertRow(static_cast<int>(i), items[i].name);
        rows_.SetSubItemText(row, 1, FormatSize(static_cast<double>(ByteCount(items[i].size))));
        rows_.SetSubItemText(row, 2, items[i].type);
        rows_.SetSubItemText(row, 3, items[i].frmPge);
        rows_.SetSubItemText(row, 4, items[i].cmpTime);
        QString tip = UiText(items[i].unpackFailure);
        for (int column = 0; column < list_->columnCount(); ++column) {
            list_->item(row, column)->setToolTip(tip);
        }
    }
}

void CompletedListDialog::SelectBySourcePage(const std::string& page) {
    for (int row = 0; row < rows_.RowCount(); ++row) {
        if (PageOf(row) == page) {
            list_->scrollToItem(list_->item(row, 0), QAbstractItemView::EnsureVisible);
            list_->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            list_->setFocus();
            return;
        }
    }
}

int CompletedListDialog::SelectionMark() const {
    return selectionMark_ < list_->rowCount() ? selectionMark_ : -1;
}

std::unique_ptr<QMenu> CompletedListDialog::BuildContextMenu() {
    int row = SelectionMark();
    if (row < 0) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(this);
    auto add = [&](const char* text, int command) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setData(command);
        return action;
    };
    // Only Flash files can be played.
    add("播放", kCommandPlay)->setEnabled(IsSwf(rows_.SubItemText(row, 2)));
    add("打开文件", kCommandOpen);
    add("打开文件夹", kCommandOpenFolder);
    CompletedItem entry = FinishedEntry(PageOf(row));
    bool unpacked = !GameFolderOf(entry).empty();
    add("打开游戏文件夹", kCommandOpenGameFolder)->setEnabled(unpacked);
    // One unpack at a time, of an archive that is there and has no game folder (any more).
    std::error_code error;
    add("解压", kCommandUnpack)
        ->setEnabled(!unpacked && !Unpacking() &&
                     IsUnpackableArchive(entry.path.substr(FolderOfPath(entry.path).size())) &&
                     std::filesystem::is_regular_file(platform::Utf8FromAnsi(entry.path), error));
    menu->addSeparator();
    add("删除", kCommandDelete);
    menu->addSeparator();
    add("复制下载地址", kCommandCopyLink);
    add("浏览来源页面", kCommandBrowsePage);
    return menu;
}

void CompletedListDialog::ShowContextMenu() {
    std::unique_ptr<QMenu> menu = BuildContextMenu();
    if (!menu) {
        return;
    }
    activateWindow();
    QAction* chosen = menu->exec(QCursor::pos());
    if (chosen != nullptr) {
        RunCommand(chosen->data().toInt());
    }
}

void CompletedListDialog::ActivateSelection() {
    int row = SelectionMark();
    if (row < 0) {
        return;
    }
    RunCommand(rows_.SubItemText(row, 2) == "swf" ? kCommandPlay : kCommandOpen);
}

void CompletedListDialog::RunCommand(int command) {
    if (command == kCommandDelete) {
        Delete();
        return;
    }
    int row = SelectionMark();
    if (row < 0) {
        return;
    }
    switch (command) {
        case kCommandPlay:
            Play(row);
            break;
        case kCommandOpen:
            Open(row);
            break;
        case kCommandOpenFolder:
            OpenFolder(row);
            break;
        case kCommandCopyLink:
            CopyLink(row);
            break;
        case kCommandBrowsePage:
            BrowsePage(row);
            break;
        case kCommandOpenGameFolder:
            OpenGameFolder(row);
            break;
        case kCommandUnpack:
            if (!Unpacking()) {
                StartUnpack(PageOf(row), "");
            }
            break;
        default:
            break;
    }
}

CompletedItem CompletedListDialog::FinishedEntry(const std::string& page) const {
    for (CompletedItem& item : ports_.tasks.FinishedTasks()) {
        if (item.frmPge == page) {
            return std::move(item);
        }
    }
    return {};
}

std::string CompletedListDialog::FilePathOf(const std::string& page) {
    return FinishedEntry(page).path;
}

bool CompletedListDialog::CheckFileExists(const std::string& path) {
    std::error_code error;
    if (!path.empty() && std::filesystem::exists(platform::Utf8FromAnsi(path), error)) {
        return true;
    }
    ports_.messages.Warn(AnsiLiteral("文件已不存在！"), environment_.applicationName);
    return false;
}

void CompletedListDialog::Play(int row) {
    std::string page = PageOf(row);
    std::string path = FilePathOf(page);
    if (!CheckFileExists(path)) {
        return;
    }
    // Each value is one argument, so blanks in the path need no quotes.
    ports_.starter.Start(platform::Utf8FromAnsi(environment_.programDirectory + "pemsot"),
                         {"-f", platform::Utf8FromAnsi(path), "-pl", platform::Utf8FromAnsi(page)});
}

void CompletedListDialog::Open(int row) {
    std::string path = FilePathOf(PageOf(row));
    if (!CheckFileExists(path)) {
        return;
    }
    ports_.starter.Start("xdg-open", {AsArgument(platform::Utf8FromAnsi(path))});
}

void CompletedListDialog::OpenFolder(int row) {
    std::string path = FilePathOf(PageOf(row));
    std::error_code error;
    if (!path.empty() && std::filesystem::exists(platform::Utf8FromAnsi(path), error)) {
        ports_.desktop.ShowFileInFolder(path);
        return;
    }
    std::string folder = FolderOfPath(path);
    if (!folder.empty()) {
        ports_.desktop.OpenFolder(folder);
    }
}

void CompletedListDialog::CopyLink(int row) {
    ports_.clipboard.PutText(FinishedEntry(PageOf(row)).fileLink);
}

void CompletedListDialog::BrowsePage(int row) {
    ports_.desktop.OpenWebPage(PageOf(row));
}

void CompletedListDialog::Delete() {
    int answer = ports_.confirmation.Ask(this);
    if (answer != kDeleteKeepFile && answer != kDeleteWithFile) {
        return;
    }
    int row = SelectionMark();
    if (row < 0) {
        return;
    }
    std::string page = PageOf(row);
    std::string path = FilePathOf(page);
    // The engine keeps the list; completed.xml follows it (and the user hears if it cannot).
    ports_.tasks.RemoveFinished(page);
    rows_.DeleteRow(row);
    // The list moves its selection to a neighbour; the mark follows what is shown selected.
    QModelIndexList selected = list_->selectionModel()->selectedRows();
    selectionMark_ = selected.isEmpty() ? -1 : selected.first().row();
    // Only a file: a path that names a folder stays. One that is gone already is no failure.
    if (answer != kDeleteWithFile || path.empty() || ::unlink(platform::Utf8FromAnsi(path).c_str()) == 0 ||
        errno == ENOENT) {
        return;
    }
    std::string why = FileErrorText(errno);
    ports_.messages.Warn(
        AnsiLiteral("已从列表中删除，但文件无法删除：") + path + AnsiLiteral("（") + why + AnsiLiteral("）。"),
        environment_.applicationName);
}

}  // namespace tarvane

namespace tarvane {

std::string CompletedListDialog::GameFolderOf(const CompletedItem& entry) const {
    std::error_code error;
    if (entry.gameFolder.empty() || !std::filesystem::is_directory(platform::Utf8FromAnsi(entry.gameFolder), error)) {
        return "";
    }
    return entry.gameFolder;
}

void CompletedListDialog::OpenGameFolder(int row) {
    std::string folder = GameFolderOf(FinishedEntry(PageOf(row)));
    if (!folder.empty()) {
        ports_.desktop.OpenFolder(folder);
    }
}

void CompletedListDialog::StartUnpack(const std::string& page, const std::string& password) {
    stopUnpack_ = false;
    unpackPage_ = page;
    unpackResult_.reset();
    unpacker_ = std::thread([this, page, password] {
        UnpackResult result = ports_.unpacker.UnpackFinished(page, password, stopUnpack_);
        std::lock_guard lock(unpackLock_);
        unpackResult_ = result;
    });
    if (unpackWatch_ == nullptr) {
        unpackWatch_ = new QTimer(this);
        connect(unpackWatch_, &QTimer::timeout, this, [this] {
            std::optional<UnpackResult> result;
            {
                std::lock_guard lock(unpackLock_);
                result.swap(unpackResult_);
            }
            if (result) {
                unpackWatch_->stop();
                UnpackEnded(unpackPage_, *result);
            }
        });
    }
    unpackWatch_->start(50);
}

void CompletedListDialog::UnpackEnded(const std::string& page, const UnpackResult& result) {
    if (unpacker_.joinable()) {
        unpacker_.join();
    }
    ReloadList();
    SelectBySourcePage(page);
    switch (result.outcome) {
        case UnpackOutcome::Done:
        case UnpackOutcome::Stopped:
        case UnpackOutcome::NotArchive:
            return;
        case UnpackOutcome::NeedPassword:
        case UnpackOutcome::WrongPassword:
            // Asked until it fits or the user gives up; the engine keeps it only until it works.
            if (auto password =
                    ports_.passwords.AskPassword(UnpackFailureText(result) + "\n" + AnsiLiteral("请输入解压密码："),
                                                 environment_.applicationName, this)) {
                StartUnpack(page, *password);
            }
            return;
        default:
            ports_.messages.Warn(UnpackFailureText(result), environment_.applicationName);
            return;
    }
}

}  // namespace tarvane
