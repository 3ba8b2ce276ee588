#pragma once

#include <QDBusConnection>
#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QSystemTrayIcon>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/thread_mailbox.h"
#include "platform/link_handoff.h"
#include "platform/site_hosts.h"
#include "platform/url_scheme.h"
#include "tarvane/core/engine_assembly.h"
#include "tarvane/dialogs/autostart_entry.h"
#include "tarvane/dialogs/delete_confirm_dialog.h"
#include "tarvane/dialogs/dialog_environment.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/dialogs/password_prompt.h"
#include "tarvane/engine/job_queue.h"
#include "tarvane/shell/controls/button_skin.h"
#include "tarvane/shell/controls/open_url.h"
#include "tarvane/shell/download_watch.h"
#include "tarvane/shell/link_intake.h"
#include "tarvane/shell/shell_actions.h"
#include "tarvane/shell/shell_ports.h"
#include "tarvane/shell/task_list_model.h"

class QAction;
class QMenu;
class QTableView;

namespace tarvane {

class CHoverButton;
class CompletedListDialog;
class CLinkLabel;
class CSkinTabButton;

struct MainDialogSetup {
    std::string programDirectory;  // code page 936, ends in "/"
    std::string executablePath;    // UTF-8; what the URL scheme starts
    std::string commandLine;       // the argument text after the program name
    platform::UrlSchemeFolders schemeFolders;
    bool webPane = true;
    // Whether a notification area exists to hide into; without one the window is minimised.
    std::function<bool()> trayAvailable;
    platform::SiteHosts hosts = platform::SiteHosts::FromEnvironment();
    // What the dialogs ask the user through; the real ones when left empty (tests answer instead).
    FolderPicker* folderPicker = nullptr;
    DeleteConfirmation* deleteConfirmation = nullptr;
    AutostartEntry* autostart = nullptr;
    // Where the login manager and the notification service are asked; the system and the session
    // bus when unset.
    std::optional<QDBusConnection> systemBus;
    std::optional<QDBusConnection> sessionBus;
};

// Control ids.
enum MainDialogId : int {
    kIdTaskList = 1000,
    kIdNew = 1001,
    kIdStart = 1002,
    kIdPause = 1003,
    kIdDelete = 1008,
    kIdOptions = 1009,
    kIdTabDownloading = 1010,
    kIdTabCompleted = 1011,
    kIdHelp = 1021,
    kIdClose = 1045,
    kIdAbout = 1046,
    kIdMinimise = 1049,
    kIdFirstCategory = 1052,
    kIdLastCategory = 1063,
};

// The window's commands. The toolbar buttons, the tabs, the tray icon and its menu trigger these.
struct MainActions {
    QAction* newTask = nullptr;
    QAction* start = nullptr;
    QAction* pause = nullptr;
    QAction* remove = nullptr;
    QAction* options = nullptr;
    QAction* help = nullptr;
    QAction* about = nullptr;
    QAction* minimise = nullptr;
    QAction* close = nullptr;
    QAction* showDownloading = nullptr;
    QAction* showCompleted = nullptr;
    QAction* showWindow = nullptr;
    QAction* chooseGame = nullptr;
    QAction* officialSite = nullptr;
    QAction* checkUpdate = nullptr;
    QAction* speedLimit = nullptr;
    QAction* exit = nullptr;
};

// The main window: toolbar, category labels, web pane, task list and finished pane behind two
// tabs, and the tray icon. Owns the download engine for the life of the program.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    MainDialog(MainDialogSetup setup, ShellPorts ports, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Everything from the title to the command-line link, in start-up order.
    void Initialize();
    // Ends the program's work in order: no new transfers, every worker paused and waited for a
    // bounded time while its list writes are still served, then joined; then the tray icon goes.
    // Runs once.
    void Finish();

    void OnCopyData(std::uint64_t dwData, const platform::LinkHandoffRecord& record);
    // Shows the window (also from the tray or minimised) and brings it, or its open modal
    // dialog, to the front.
    void BringForward();

    const MainActions& windowActions() const { return windowActions_; }
    void HideToTray();
    void OnLinkLabelClicked(int id);
    // The right-click menu of the selected task; nullptr when there is none to show.
    std::unique_ptr<QMenu> BuildTaskMenu();
    // The tray icon's menu, built anew for each right click.
    std::unique_ptr<QMenu> BuildTrayMenu();
    // The task of the selected row, or kNoTask.
    TaskId SelectedTask() const;
    // Selects, shows and focuses the first task row of a page (a page the new-task dialog found
    // in the download list).
    void SelectTaskRow(const std::string& page);
    // Switches to the finished downloads and selects the page's entry.
    void ShowCompletedItem(const std::string& page);
    void RunNewTaskDialog();
    // Takes a task of the new-task dialog in its turn after the links before it.
    void TakeTask(const AddTaskRequest& request);
    void RunOptionsDialog();
    // Switches between no speed limit and the last one set; with none set yet, asks for one.
    void ToggleSpeedLimit();

    TaskListModel& model() { return model_; }
    JobQueue& intakeJobs() { return intakeJobs_; }
    // The engine's parts, for tests; the window itself goes through the engine's interface.
    EngineAssembly& engine() { return assembly_; }
    QTableView* taskList() const { return list_; }
    QWidget* completedPane() const;
    CompletedListDialog* completedList() const { return completed_; }
    QWidget* control(int id) const;
    CLinkLabel* categoryLabel(int id) const;
    QSystemTrayIcon* trayIcon() const { return tray_; }
    bool trayIconShown() const;

signals:
    void aboutRequested();

public slots:
    // Escape and the window manager's close: what the close button does.
    void reject() override;
    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void CreateActions();
    void BuildControls();
    void ConfigureSkin();
    void ShowCompletedTab();
    void ShowDownloadingTab();
    void ShowTrayMenu(const QPoint& at);
    void ShowTaskMenu(const QPoint& at);
    void OnCloseButton();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void OnTrayExit();
    void RunAbout();
    void RegisterUrlProtocol();
    // Asks first; then deletes the task with its data file.
    void DeleteTask(TaskId task);
    // A command of the task menu on `task`.
    void RunTaskCommand(int command, TaskId task);

    // Link labels open pages through the desktop port.
    class PortLauncher : public UrlLauncher {
    public:
        explicit PortLauncher(Desktop& desktop) : desktop_(desktop) {}
        bool Launch(const QString& url, bool newWindow) override;

    private:
        Desktop& desktop_;
    };

    MainDialogSetup setup_;
    ShellPorts ports_;
    EngineAssembly assembly_;
    Engine& engine_ = assembly_;
    TaskListModel model_;
    ShellActions actions_;
    LinkIntake intake_;
    // What other threads have to say reaches this thread here.
    ThreadMailbox mailbox_;
    // Keeps the machine awake while tasks run and tells of the tasks that end.
    DownloadWatch watch_;
    // Links are taken into the task files off this thread, in the order they came.
    JobQueue intakeJobs_;
    MainActions windowActions_;
    PortLauncher launcher_;
    QtPasswordPrompt passwordPrompt_;
    CButtonSkin skin_;
    QPixmap background_;
    std::map<int, CHoverButton*> buttons_;
    std::array<CSkinTabButton*, 2> tabs_{};
    std::map<int, CLinkLabel*> labels_;
    QTableView* list_ = nullptr;
    CompletedListDialog* completed_ = nullptr;
    DialogEnvironment dialogEnvironment_;
    QtFolderPicker ownFolderPicker_;
    DeleteConfirmDialogAsker ownDeleteConfirmation_;
    std::unique_ptr<XdgAutostart> ownAutostart_;
    QWidget* webPane_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool finished_ = false;
    bool initialized_ = false;
    std::vector<platform::LinkHandoffRecord> earlyLinks_;
    bool dragging_ = false;
    QPoint dragGrip_;
    std::optional<QPoint> placeWhenHidden_;
};

}  // namespace tarvane
