#include "tarvane/shell/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QWindow>
#include <chrono>
#include <filesystem>

#include "desktop/qt_text.h"
#include "platform/caption.h"
#include "platform/codepage.h"
#include "platform/settings.h"
#include "tarvane/dialogs/completed_list_dialog.h"
#include "tarvane/dialogs/dialog_units.h"
#include "tarvane/dialogs/new_task_dialog.h"
#include "tarvane/dialogs/options_dialog.h"
#include "tarvane/shell/about_dialog.h"
#include "tarvane/shell/command_line_link.h"
#include "tarvane/shell/controls/hover_button.h"
#include "tarvane/shell/controls/link_label.h"
#include "tarvane/shell/controls/skin_tab_button.h"
#include "tarvane/shell/default_folder_notice.h"
#include "tarvane/shell/resources/artwork.h"
#include "tarvane/shell/web_pane.h"
#include "tarvane/store/task_file_repair.h"

namespace tarvane {

namespace {

using platform::kCaption;
// The caption of the task menu's notices.
constexpr const char* kApplicationTitle = "tarvane";

// The window's palette.
constexpr QRgb kBackgroundOrange = qRgb(248, 124, 0);
constexpr QRgb kFrameGreen = qRgb(9, 109, 30);
constexpr QRgb kHoverYellow = qRgb(255, 232, 78);
constexpr QRgb kFaceWhite = qRgb(255, 255, 255);
constexpr QRgb kTabTextRed = qRgb(229, 70, 14);
constexpr QRgb kLinkBlack = qRgb(0, 0, 0);
// The tabs' font: the dialog font's face at 12 pixels.
constexpr int kTabFontPixels = 12;
// How long the end of the program waits for workers to save their counts.
constexpr auto kShutdownLimit = std::chrono::seconds(8);

std::string Ansi(const char* utf8) {
    return platform::AnsiFromUtf8(utf8);
}

struct ToolbarButton {
    int id;
    QAction* MainActions::*action;
    const char* text;
    int left;
    const char* art;
};

constexpr ToolbarButton kToolbar[] = {
    {kIdNew, &MainActions::newTask, "新建", 12, artwork::kToolbarNew},
    {kIdStart, &MainActions::start, "开始", 102, artwork::kToolbarStart},
    {kIdPause, &MainActions::pause, "暂停", 192, artwork::kToolbarPause},
    {kIdDelete, &MainActions::remove, "删除", 282, artwork::kToolbarDelete},
    {kIdOptions, &MainActions::options, "配置", 372, artwork::kToolbarOptions},
    {kIdHelp, &MainActions::help, "帮助", 462, artwork::kToolbarHelp},
    {kIdAbout, &MainActions::about, "关于", 552, artwork::kToolbarAbout},
};

constexpr const char* kCategories[] = {"射击游戏", "角色扮演", "动作游戏", "即时战略", "策略战棋", "体育竞技",
                                       "赛车竞速", "模拟经营", "桌面棋牌", "音乐游戏", "休闲益智", "解谜冒险"};

QDBusConnection BusOr(const std::optional<QDBusConnection>& given, QDBusConnection (*standard)()) {
    return given ? *given : standard();
}

std::array<QIcon, 3> RowImages() {
    return {QIcon(QString::fromLatin1(artwork::kRowIdle)), QIcon(QString::fromLatin1(artwork::kRowFailed)),
            QIcon(QString::fromLatin1(artwork::kRowDownloading))};
}

}  // namespace

bool MainDialog::PortLauncher::Launch(const QString& url, bool) {
    desktop_.OpenWebPage(platform::AnsiFromUtf8(url.toStdString()));
    return true;
}

MainDialog::MainDialog(MainDialogSetup setup, ShellPorts ports, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      setup_(std::move(setup)),
      ports_(ports),
      assembly_(EngineSetup{setup_.programDirectory, setup_.hosts.official, setup_.hosts.siteDomain, {}},
                EnginePorts{ports.clipboard, ports.desktop, ports.sound}),
      model_(engine_.Tasks(), RowImages()),
      actions_(setup_.programDirectory, setup_.hosts, ports.starter, ports.messages, ports.desktop),
      intake_(engine_, setup_.programDirectory),
      watch_(
          {BusOr(setup_.systemBus, &QDBusConnection::systemBus),
           BusOr(setup_.sessionBus, &QDBusConnection::sessionBus),
           [this] { return model_.AnyRunning(); },
           {[this] { return isVisible() && !isMinimized() && isActiveWindow(); },
            [this](const QString& folder) { ports_.desktop.OpenFolder(AnsiText(folder)); }, [this] { BringForward(); },
            [this](const QString& summary, const QString& body) { tray_->showMessage(summary, body); }}},
          mailbox_),
      launcher_(ports.desktop) {
    dialogEnvironment_.programDirectory = setup_.programDirectory;
    dialogEnvironment_.applicationName =
        platform::AnsiFromUtf8(std::filesystem::path(setup_.executablePath).stem().string());
    dialogEnvironment_.desktopFolder = ReadyDefaultFolder(setup_.programDirectory, ports_.messages);
    if (setup_.folderPicker == nullptr) {
        setup_.folderPicker = &ownFolderPicker_;
    }
    if (setup_.deleteConfirmation == nullptr) {
        setup_.deleteConfirmation = &ownDeleteConfirmation_;
    }
    if (setup_.autostart == nullptr) {
        ownAutostart_ = std::make_unique<XdgAutostart>(XdgAutostart::ForCurrentUser());
        setup_.autostart = ownAutostart_.get();
    }
    if (!setup_.trayAvailable) {
        setup_.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    }
    CreateActions();
    BuildControls();
    // Reported on this thread, whichever thread met them. The watch is made after the engine, and
    // before any worker runs.
    assembly_.Tell(
        [this](const std::string& file) {
            mailbox_.Post([this, file] {
                ports_.messages.Show(Ansi("无法写入任务文件 ") + file +
                                         Ansi("（程序文件夹只读或磁盘已满）。任务的状态暂时保存在内存中，"
                                              "能写入时会自动保存；在此之前请不要退出程序。"),
                                     kCaption, MessageButtons::Ok);
            });
        },
        [this](const SetAsideFile& damaged) {
            mailbox_.Post([this, damaged] {
                std::string what = damaged.setAsideAs.empty() ? Ansi(" 在程序运行时被删除；程序中的 ")
                                                              : Ansi(" 在程序运行时被损坏，已改名为 ") +
                                                                    damaged.setAsideAs + Ansi(" 留在原处；程序中的 ");
                ports_.messages.Show(Ansi("任务文件 ") + damaged.file + what +
                                         std::to_string(damaged.itemsCarriedOver) + Ansi(" 个任务已写入新的任务文件。"),
                                     kCaption, MessageButtons::Ok);
            });
        },
        &watch_);
}

MainDialog::~MainDialog() {
    Finish();
}

QWidget* MainDialog::control(int id) const {
    if (auto found = buttons_.find(id); found != buttons_.end()) {
        return found->second;
    }
    if (id == kIdTabDownloading || id == kIdTabCompleted) {
        return tabs_[static_cast<std::size_t>(id - kIdTabDownloading)];
    }
    if (id == kIdTaskList) {
        return list_;
    }
    return categoryLabel(id);
}

CLinkLabel* MainDialog::categoryLabel(int id) const {
    auto found = labels_.find(id);
    return found == labels_.end() ? nullptr : found->second;
}

void MainDialog::BuildControls() {
    setFont(DialogTemplateFont());
    DialogUnits units;
    setFixedSize(units.X(655), units.Y(407));

    auto addButton = [this](int id, QAction* action, const QString& text, const QRect& place) {
        auto* button = new CHoverButton(this);
        button->setText(text);
        button->setGeometry(place);
        connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
        buttons_[id] = button;
    };
    for (const ToolbarButton& entry : kToolbar) {
        addButton(entry.id, windowActions_.*entry.action, QString::fromUtf8(entry.text),
                  units.Rect(entry.left, 32, 58, 32));
    }
    addButton(kIdMinimise, windowActions_.minimise, QStringLiteral("min"), units.Rect(610, 7, 16, 14));
    addButton(kIdClose, windowActions_.close, QStringLiteral("close"), units.Rect(626, 7, 16, 14));
    for (int i = 0; i < 2; ++i) {
        auto* tab = new CSkinTabButton(this);
        QAction* action = i == 0 ? windowActions_.showDownloading : windowActions_.showCompleted;
        tab->setText(action->text());
        tab->setGeometry(units.Rect(i == 0 ? 25 : 84, 110, 49, 20));
        connect(tab, &QAbstractButton::clicked, action, &QAction::trigger);
        tabs_[static_cast<std::size_t>(i)] = tab;
    }
    for (int i = 0; i < 12; ++i) {
        int id = kIdFirstCategory + i;
        auto* label =
            new CLinkLabel(QString::fromUtf8(kCategories[i]), units.Rect(19 + 52 * i, 78, 41, 13), id, launcher_, this);
        connect(label, &CLinkLabel::linkLabelClicked, this, &MainDialog::OnLinkLabelClicked);
        labels_[id] = label;
    }

    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("taskList"));
    list_->setGeometry(units.Rect(150, 101, 495, 296));
    // Before the view hears of it: it would carry the highlight to a row the user never picked, and
    // a command would then act on that task.
    connect(&model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
        QItemSelectionModel* selection = list_->selectionModel();
        int row = selection->currentIndex().row();
        bool pickedGoes = row >= first && row <= last;
        for (const QModelIndex& picked : selection->selectedRows()) {
            pickedGoes = pickedGoes || (picked.row() >= first && picked.row() <= last);
        }
        if (pickedGoes) {
            selection->clear();
        }
    });
    list_->setModel(&model_);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(16, 16));
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    // At the pointer itself: after a window manager has moved the frameless window, Qt's idea of
    // where the window lies can lag behind.
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint&) { ShowTaskMenu(QCursor::pos()); });

    if (setup_.webPane) {
        // Scheme links go to the desktop; links that would leave the nav page open in the game browser,
        // so the narrow pane keeps it.
        webPane_ = CreateSilentWebPane(
            this,
            {[this](const QUrl& url) {
                 ports_.desktop.OpenWebPage(platform::AnsiFromUtf8(url.toString(QUrl::FullyEncoded).toStdString()));
             },
             [this](const QUrl& url) {
                 actions_.OpenInGameBrowser(platform::AnsiFromUtf8(url.toString(QUrl::FullyEncoded).toStdString()));
             }});
        webPane_->setGeometry(units.Rect(11, 139, 134, 258));
    }

    tray_ = new QSystemTrayIcon(this);
    tray_->setToolTip(QString::fromLatin1(kCaption));
    connect(tray_, &QSystemTrayIcon::activated, this, &MainDialog::OnTrayActivated);
}

void MainDialog::CreateActions() {
    auto make = [this](const char* text, std::function<void()> run) {
        auto* action = new QAction(QString::fromUtf8(text), this);
        connect(action, &QAction::triggered, this, std::move(run));
        return action;
    };
    MainActions& a = windowActions_;
    a.newTask = make("新建", [this] { RunNewTaskDialog(); });
    a.start = make("开始", [this] { engine_.StartTask(SelectedTask()); });
    a.pause = make("暂停", [this] { engine_.PauseTask(SelectedTask()); });
    a.remove = make("删除", [this] { DeleteTask(SelectedTask()); });
    a.options = make("配置", [this] { RunOptionsDialog(); });
    a.help = make("下载帮助",
                  [this] { actions_.OpenInGameBrowser(actions_.OfficialPage("/soft/help/downloader_help.htm")); });
    a.about = make("关于", [this] { RunAbout(); });
    a.minimise = make("min", [this] { showMinimized(); });
    a.close = make("close", [this] { OnCloseButton(); });
    a.showDownloading = make("正在下载", [this] { ShowDownloadingTab(); });
    a.showCompleted = make("已完成", [this] { ShowCompletedTab(); });
    a.showWindow = make("显示主窗口", [this] { show(); });
    a.chooseGame = make("选择游戏", [this] { actions_.OpenInGameBrowser(actions_.PortalPage("/")); });
    a.officialSite = make("访问官网", [this] { actions_.OpenOfficialSite(); });
    a.checkUpdate = make("检查升级", [this] { actions_.LaunchUpdater(); });
    a.exit = make("退出", [this] { OnTrayExit(); });
    a.speedLimit = make("限速", [this] { ToggleSpeedLimit(); });
    a.speedLimit->setCheckable(true);
}

void MainDialog::ConfigureSkin() {
    SkinParams params = skin_.GetSkinParams();
    params.cornerRadius = 8.0;
    params.ringShare = 0.0001;
    params.ringShading = 0.0;
    params.surroundColors.fill(kBackgroundOrange);
    params.frameColors[kStateNormal] = kFrameGreen;
    params.faceColors[kStateDisabled] = kHoverYellow;
    params.faceColors[kStateNormal] = kFaceWhite;
    params.faceColors[kStateToggled] = kFaceWhite;
    params.faceColors[kStatePressed] = kFaceWhite;
    params.faceColors[kStateHover] = kHoverYellow;
    skin_.SetSkinParams(params);

    QFont tabFont(QString::fromUtf8("宋体"));
    tabFont.setPixelSize(kTabFontPixels);
    tabFont.setWeight(QFont::Thin);
    std::array<QColor, kSkinStateCount> colors{QColor(kTabTextRed), QColor(kFrameGreen), QColor(kFrameGreen),
                                               QColor(kFrameGreen), QColor(kTabTextRed)};
    for (CSkinTabButton* tab : tabs_) {
        tab->SetSkin(&skin_);
        tab->hoverTracking = true;
        tab->SetTextFont(tabFont);
        tab->SetTextColors(colors);
    }
}

void MainDialog::Initialize() {
    QIcon icon(QString::fromLatin1(artwork::kMainIcon));
    setWindowIcon(icon);
    tray_->setIcon(icon);
    setWindowTitle(QString::fromLatin1(kCaption));
    actions_.LaunchUpdater();

    if (webPane_ != nullptr) {
        NavigateWebPane(
            webPane_,
            QUrl(QString::fromStdString(actions_.OfficialPage("/profit/tarvane/mainDlg_left_202_437_nav.htm"))));
    }
    for (const ToolbarButton& entry : kToolbar) {
        buttons_[entry.id]->LoadStateBitmap(QString::fromLatin1(entry.art));
    }
    for (auto& [id, label] : labels_) {
        label->SetLinkColors(QColor(kFaceWhite), QColor(kFaceWhite), QColor(kLinkBlack));
        label->SetBackColor(QColor(kBackgroundOrange));
        label->SetUnderlineMode(0);
        label->openUrlOnClick = false;
        label->notifyParent = true;
    }
    buttons_[kIdClose]->LoadStateBitmap(QString::fromLatin1(artwork::kClose));
    buttons_[kIdMinimise]->LoadStateBitmap(QString::fromLatin1(artwork::kMinimise));
    ConfigureSkin();

    RegisterUrlProtocol();

    tabs_[0]->setEnabled(false);
    completed_ = new CompletedListDialog(dialogEnvironment_,
                                         {engine_, ports_.messages, ports_.clipboard, ports_.desktop, ports_.starter,
                                          *setup_.deleteConfirmation, engine_, passwordPrompt_},
                                         this);
    completed_->setObjectName(QStringLiteral("completedPane"));
    completed_->setGeometry(list_->geometry());
    completed_->hide();

    for (int column = 0; column < kTaskColumnCount; ++column) {
        list_->setColumnWidth(column, TaskListModel::ColumnWidths()[static_cast<std::size_t>(column)]);
    }
    // Speeds run to five digits; the cell's margins come on top of the text.
    int speedWidth = list_->fontMetrics().horizontalAdvance(QStringLiteral("99999K/S")) +
                     2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1) + 4;
    list_->setColumnWidth(kColumnSpeed, std::max(list_->columnWidth(kColumnSpeed), speedWidth));

    for (const SetAsideFile& damaged : assembly_.LoadTasks()) {
        ports_.messages.Show(Ansi("任务文件 ") + damaged.file + Ansi(" 已损坏，已改名为 ") + damaged.setAsideAs +
                                 Ansi(" 留在原处；其中完好的 ") + std::to_string(damaged.itemsCarriedOver) +
                                 Ansi(" 个任务已转入新的任务文件。"),
                             kCaption, MessageButtons::Ok);
    }

    initialized_ = true;
    if (auto link = ExtractCommandLineLink(setup_.commandLine)) {
        intakeJobs_.Post([this, link = platform::AnsiFromUtf8(*link)] { intake_.AddTaskFromLink(link); });
    }
    std::vector<platform::LinkHandoffRecord> early;
    early.swap(earlyLinks_);
    for (const platform::LinkHandoffRecord& record : early) {
        intakeJobs_.Post([this, record] { intake_.OnCopyData(record); });
    }
}

void MainDialog::RegisterUrlProtocol() {
    if (setup_.executablePath.empty()) {
        return;
    }
    if (platform::RegisterUrlScheme(setup_.executablePath, setup_.schemeFolders) == platform::UrlSchemeResult::Failed) {
        ports_.messages.Show(Ansi("写注册表失败了！您可以升级新版本来解决这个问题。"), kCaption, MessageButtons::Ok);
    }
}

void MainDialog::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    // Links already taken are stored before the workers stop; none is started any more.
    intakeJobs_.Stop();
    if (completed_ != nullptr) {
        completed_->StopUnpack();
    }
    assembly_.Shutdown(kShutdownLimit);
    tray_->hide();
}

void MainDialog::OnCopyData(std::uint64_t, const platform::LinkHandoffRecord& record) {
    // A link that arrives while the program starts (a start-up message runs an event loop) waits
    // until the list has been loaded, so it is checked against it and taken once.
    if (!initialized_) {
        earlyLinks_.push_back(record);
        return;
    }
    // The sender is answered at once; the link is taken in its turn.
    intakeJobs_.Post([this, record] { intake_.OnCopyData(record); });
}

void MainDialog::BringForward() {
    if (isMinimized() || !isVisible()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
}

TaskId MainDialog::SelectedTask() const {
    QModelIndex current = list_->selectionModel()->currentIndex();
    if (!current.isValid() || !list_->selectionModel()->isRowSelected(current.row(), {})) {
        return kNoTask;
    }
    return model_.IdOfRow(current.row());
}

QWidget* MainDialog::completedPane() const {
    return completed_;
}

void MainDialog::RunNewTaskDialog() {
    NewTaskDialog dialog(dialogEnvironment_, {ports_.messages, *setup_.folderPicker, engine_},
                         {IsSupportedLink, [this](const AddTaskRequest& request) { TakeTask(request); },
                          [this](const std::string& page) { SelectTaskRow(page); },
                          [this](const std::string& page) { ShowCompletedItem(page); }},
                         this);
    dialog.exec();
}

void MainDialog::TakeTask(const AddTaskRequest& request) {
    intakeJobs_.Post([this, request] {
        // A link handed over meanwhile may have made the same task.
        if (engine_.LocatePage(request.task.frmPge) == kPageNew) {
            engine_.AddTask(request);
        }
    });
}

void MainDialog::RunOptionsDialog() {
    OptionsDialog dialog(dialogEnvironment_, {ports_.messages, *setup_.folderPicker, *setup_.autostart}, this);
    if (dialog.exec() == QDialog::Accepted) {
        platform::Settings settings(setup_.programDirectory);
        engine_.SetSpeedLimit(settings.MaxSpeed());
        engine_.SetConnectionsPerHost(settings.MaxConnectionsPerHost());
    }
}

void MainDialog::ToggleSpeedLimit() {
    platform::Settings settings(setup_.programDirectory);
    if (settings.MaxSpeed() == 0 && settings.LastMaxSpeed() == 0) {
        RunOptionsDialog();
        return;
    }
    long long limit = settings.MaxSpeed() > 0 ? 0 : settings.LastMaxSpeed();
    // The running transfers follow at once, even if config.ini cannot keep the choice.
    settings.SetMaxSpeed(limit);
    engine_.SetSpeedLimit(limit);
}

void MainDialog::SelectTaskRow(const std::string& page) {
    int row = model_.RowOf(engine_.FindTask(page));
    if (row < 0) {
        return;
    }
    if (list_->isHidden()) {
        ShowDownloadingTab();
    }
    QModelIndex index = model_.index(row, 0);
    list_->scrollTo(index, QAbstractItemView::EnsureVisible);
    list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->setFocus();
}

void MainDialog::ShowCompletedItem(const std::string& page) {
    ShowCompletedTab();
    completed_->SelectBySourcePage(page);
}

void MainDialog::RunAbout() {
    emit aboutRequested();
    AboutDialog about(actions_.OfficialPage("/"), launcher_, this);
    about.exec();
}

void MainDialog::ShowCompletedTab() {
    tabs_[0]->setEnabled(true);
    completed_->ReloadList();
    completed_->show();
    list_->hide();
    tabs_[1]->setEnabled(false);
    for (QAction* taskAction : {windowActions_.remove, windowActions_.pause, windowActions_.start}) {
        taskAction->setEnabled(false);
    }
}

void MainDialog::ShowDownloadingTab() {
    for (QAction* taskAction : {windowActions_.remove, windowActions_.pause, windowActions_.start}) {
        taskAction->setEnabled(true);
    }
    tabs_[0]->setEnabled(false);
    completed_->hide();
    list_->show();
    tabs_[1]->setEnabled(true);
}

void MainDialog::OnCloseButton() {
    if (platform::Settings(setup_.programDirectory).CloseToStay() != 0) {
        HideToTray();
        return;
    }
    if (!engine_.AnyRunning()) {
        accept();
        return;
    }
    if (ports_.messages.Show(Ansi("有任务正在进行中，您确定要关闭程序吗？点击\"取消\"程序将最小化。"), kCaption,
                             MessageButtons::OkCancel) == MessageAnswer::Ok) {
        engine_.PauseAll();
        accept();
    } else {
        HideToTray();
    }
}

void MainDialog::reject() {
    OnCloseButton();
}

void MainDialog::setVisible(bool visible) {
    // A window manager places a window shown again as if it were new: it goes back where it was.
    if (!visible && isVisible()) {
        placeWhenHidden_ = pos();
    } else if (visible && !isVisible() && placeWhenHidden_) {
        move(*placeWhenHidden_);
    }
    QDialog::setVisible(visible);
}

void MainDialog::OnTrayExit() {
    if (engine_.AnyRunning()) {
        if (ports_.messages.Show(Ansi("有任务正在进行中，您确定要关闭程序吗？"), kCaption, MessageButtons::OkCancel) !=
            MessageAnswer::Ok) {
            return;
        }
        engine_.PauseAll();
    }
    done(QDialog::Accepted);
}

void MainDialog::HideToTray() {
    if (!setup_.trayAvailable()) {
        // Hidden without an icon to bring it back, the window would be out of reach.
        showMinimized();
        return;
    }
    tray_->show();
    hide();
}

bool MainDialog::trayIconShown() const {
    return tray_->isVisible();
}

void MainDialog::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
        showNormal();
        raise();
        activateWindow();
    } else if (reason == QSystemTrayIcon::Context) {
        ShowTrayMenu(QCursor::pos());
    }
}

std::unique_ptr<QMenu> MainDialog::BuildTrayMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const MainActions& a = windowActions_;
    menu->addAction(a.showWindow);
    menu->addSeparator();
    menu->addActions({a.chooseGame, a.help, a.officialSite});
    menu->addSeparator();
    menu->addAction(a.checkUpdate);
    a.speedLimit->setChecked(engine_.SpeedLimit() > 0);
    menu->addAction(a.speedLimit);
    menu->addSeparator();
    menu->addAction(a.exit);
    return menu;
}

void MainDialog::ShowTrayMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu = BuildTrayMenu();
    activateWindow();
    // Its right edge at the cursor; the chosen action runs once the menu has closed.
    menu->exec(at - QPoint(menu->sizeHint().width(), 0));
}

std::unique_ptr<QMenu> MainDialog::BuildTaskMenu() {
    TaskId task = SelectedTask();
    if (task == kNoTask) {
        return nullptr;
    }
    if (!engine_.Tasks().Get(task)) {
        return nullptr;
    }
    std::vector<TaskMenuItem> items = engine_.MenuFor(task);
    if (items.empty()) {
        ports_.messages.Show(Ansi("正在计算右键数据……，请稍后再试"), kApplicationTitle, MessageButtons::Ok);
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(this);
    for (const TaskMenuItem& item : items) {
        if (item.command == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(platform::Utf8FromAnsi(item.text)));
        action->setEnabled(item.enabled);
        // The task the menu was opened on, wherever its row is when the command runs.
        connect(action, &QAction::triggered, this,
                [this, command = item.command, task] { RunTaskCommand(command, task); });
    }
    return menu;
}

void MainDialog::DeleteTask(TaskId task) {
    if (!engine_.Tasks().Get(task)) {
        return;
    }
    // The question runs a nested event loop in which tasks may finish or go: the engine looks for the
    // task again after the answer, and leaves one that is finishing to the finished list.
    if (ports_.messages.Show(Ansi("您确定要删除选中的任务吗？"), kCaption, MessageButtons::OkCancel) ==
        MessageAnswer::Ok) {
        engine_.DeleteTask(task);
    }
}

void MainDialog::RunTaskCommand(int command, TaskId task) {
    if (command == kCommandDelete) {
        DeleteTask(task);
        return;
    }
    if (engine_.RunMenuCommand(command, task)) {
        return;
    }
    const char* notice = command == kCommandPlay         ? "播放"
                         : command == kCommandOpenFile   ? "打开文件"
                         : command == kCommandProperties ? "任务属性暂未实施！"
                                                         : nullptr;
    if (notice != nullptr) {
        ports_.messages.Show(Ansi(notice), kApplicationTitle, MessageButtons::Ok);
    }
}

void MainDialog::ShowTaskMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu = BuildTaskMenu();
    if (!menu) {
        return;
    }
    activateWindow();
    menu->exec(at);
}

void MainDialog::OnLinkLabelClicked(int id) {
    if (id < kIdFirstCategory || id > kIdLastCategory) {
        return;
    }
    char page[32];
    std::snprintf(page, sizeof(page), "/dispenseUrl/%02d.htm", id - kIdFirstCategory + 1);
    actions_.OpenInGameBrowser(actions_.PortalPage(page));
}

void MainDialog::paintEvent(QPaintEvent*) {
    if (background_.isNull()) {
        background_.load(QString::fromLatin1(artwork::kBackground));
    }
    QPainter painter(this);
    if (background_.isNull()) {
        painter.fillRect(rect(), QColor(kBackgroundOrange));
    } else {
        painter.drawPixmap(rect(), background_);
    }
}

void MainDialog::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // Dragging anywhere on the background moves the caption-less window.
    // On X11, Qt hands the window manager the pointer's place mapped to the screen twice, and the
    // window jumps by its own position at the drag's start: there the window moves itself. Elsewhere
    // (Wayland) only the compositor can move it.
    if (QGuiApplication::platformName() != QLatin1String("xcb") && windowHandle() != nullptr &&
        windowHandle()->startSystemMove()) {
        return;
    }
    // The grip from the press alone, so that no remembered place of the window enters the move.
    dragging_ = true;
    dragGrip_ = event->position().toPoint();
}

void MainDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragGrip_);
    }
    QDialog::mouseMoveEvent(event);
}

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

}  // namespace tarvane
