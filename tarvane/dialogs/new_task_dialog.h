#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "tarvane/dialogs/dialog_environment.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/engine.h"
#include "tarvane/engine/task_record.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarvane {

// What the new-task dialog asks of the main window.
struct NewTaskCallbacks {
    std::function<bool(const std::string& link)> isSupportedLink;
    std::function<void(const AddTaskRequest& request)> addTask;
    // The address is already a task: select its row.
    std::function<void(const std::string& page)> selectTaskRow;
    // The address was already downloaded: show it in the completed pane.
    std::function<void(const std::string& page)> showCompletedItem;
};

struct NewTaskPorts {
    MessageBoxes& messages;
    FolderPicker& folders;
    TaskDirectory& tasks;
};

// "新建任务": a page address, a save name and folder, optionally a proxy, turned into a new task.
// Opens collapsed; the proxy settings lie below the collapsed edge.
class NewTaskDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdOk = 1,
        kIdCancel = 2,
        kIdAddress = 1005,
        kIdSaveName = 1006,
        kIdBrowse = 1012,
        kIdMore = 1013,
        kIdProxyHost = 1014,
        kIdProxyPort = 1015,
        kIdProxyUser = 1016,
        kIdProxyPassword = 1017,
        kIdFolder = 1018,
        kIdUseProxy = 1019,
    };

    NewTaskDialog(DialogEnvironment environment, NewTaskPorts ports, NewTaskCallbacks callbacks,
                  QWidget* parent = nullptr);

    QWidget* Control(int id) const;
    int FullHeight() const { return fullHeight_; }
    int CollapsedHeight() const { return collapsedHeight_; }

public slots:
    // Checks the input and hands the task on; stays open when a check fails.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    void LoadSettings();
    void ToggleExpanded();
    void Browse();
    void UpdateProxyFields();
    void ShowMessage(const char* utf8Text);
    void StoreLastProxy(const DownloadTask& task, const std::string& portText);

    DialogEnvironment environment_;
    NewTaskPorts ports_;
    NewTaskCallbacks callbacks_;
    std::map<int, QWidget*> controls_;
    QLineEdit* address_ = nullptr;
    QComboBox* folder_ = nullptr;
    QLineEdit* saveName_ = nullptr;
    QPushButton* more_ = nullptr;
    QCheckBox* useProxy_ = nullptr;
    QLineEdit* proxyHost_ = nullptr;
    QLineEdit* proxyPort_ = nullptr;
    QLineEdit* proxyUser_ = nullptr;
    QLineEdit* proxyPassword_ = nullptr;
    int fullHeight_ = 0;
    int collapsedHeight_ = 0;
    bool centred_ = false;
};

}  // namespace tarvane
