#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "tarvane/dialogs/autostart_entry.h"
#include "tarvane/dialogs/dialog_environment.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/engine/desktop_ports.h"

class QCheckBox;
class QLineEdit;

namespace tarvane {

struct OptionsPorts {
    MessageBoxes& messages;
    FolderPicker& folders;
    AutostartEntry& autostart;
};

// "选项": the options and default proxy of config.ini, written together on OK only (a refused save
// is reported and leaves the dialog open); the autostart entry changes at once when its box is clicked.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdOk = 1,
        kIdCancel = 2,
        kIdPlayAudio = 1022,
        kIdCloseToStay = 1023,
        kIdLaunchBySys = 1024,
        kIdLoadDefaultProxy = 1025,
        kIdDefaultPath = 1026,
        kIdBrowse = 1027,
        kIdProxyHost = 1028,
        kIdProxyPort = 1029,
        kIdProxyUser = 1030,
        kIdProxyPassword = 1031,
        kIdMaxTasks = 1033,
        kIdMaxTasksArrows = 1034,
        kIdMaxConnections = 1037,
        kIdMaxConnectionsArrows = 1038,
        kIdMaxSpeed = 1039,
        kIdAutoExtract = 1040,
        kIdDeleteArchive = 1041,
        kIdMaxConnectionsPerHost = 1042,
        kIdMaxConnectionsPerHostArrows = 1043,
    };

    OptionsDialog(DialogEnvironment environment, OptionsPorts ports, QWidget* parent = nullptr);

    QWidget* Control(int id) const;

public slots:
    void accept() override;

private:
    void Build();
    void LoadSettings();
    void Browse();
    void AutostartClicked(bool checked);
    void ShowMessage(const char* utf8Text);
    // Whether the field holds a number of its range; if not, says `utf8Text` and puts the user there.
    bool InRange(QLineEdit* field, const std::string& utf8Text);

    DialogEnvironment environment_;
    OptionsPorts ports_;
    std::map<int, QWidget*> controls_;
    QCheckBox* playAudio_ = nullptr;
    QCheckBox* closeToStay_ = nullptr;
    QCheckBox* launchBySys_ = nullptr;
    QCheckBox* loadDefaultProxy_ = nullptr;
    QCheckBox* autoExtract_ = nullptr;
    QCheckBox* deleteArchive_ = nullptr;
    QLineEdit* proxyHost_ = nullptr;
    QLineEdit* proxyPort_ = nullptr;
    QLineEdit* proxyUser_ = nullptr;
    QLineEdit* proxyPassword_ = nullptr;
    QLineEdit* maxTasks_ = nullptr;
    QLineEdit* maxConnections_ = nullptr;
    QLineEdit* maxConnectionsPerHost_ = nullptr;
    QLineEdit* maxSpeed_ = nullptr;
    QLineEdit* defaultPath_ = nullptr;
};

}  // namespace tarvane
