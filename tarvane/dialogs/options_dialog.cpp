#include "tarvane/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "platform/settings.h"
#include "platform/settings_keys.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tarvane/dialogs/dialog_units.h"
#include "tarvane/dialogs/task_count_text.h"
#include "tarvane/dialogs/up_down_buttons.h"

namespace tarvane {

OptionsDialog::OptionsDialog(DialogEnvironment environment, OptionsPorts ports, QWidget* parent)
    : QDialog(parent), environment_(std::move(environment)), ports_(std::move(ports)) {
    Build();
    LoadSettings();
}

QWidget* OptionsDialog::Control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void OptionsDialog::Build() {
    setWindowTitle(QString::fromUtf8("选项"));
    setFont(DialogTemplateFont());
    DialogUnits units;
    // The rows of the connection and speed limits below the task limit move what follows down.
    constexpr int kRow = 18;
    setFixedSize(units.X(322), units.Y(246 + 3 * kRow));

    auto place = [&](int id, QWidget* widget, int x, int y, int width, int height) {
        widget->setGeometry(units.Rect(x, y, width, height));
        controls_[id] = widget;
    };
    auto label = [&](const char* text, int x, int y) {
        auto* widget = new QLabel(QString::fromUtf8(text), this);
        widget->move(units.X(x), units.Y(y));
        widget->adjustSize();
    };
    auto check = [&](int id, const char* text, int x, int y, int width, int height) {
        auto* widget = new QCheckBox(QString::fromUtf8(text), this);
        place(id, widget, x, y, width, height);
        return widget;
    };
    auto edit = [&](int id, int x, int y, int width, int height) {
        auto* widget = new QLineEdit(this);
        place(id, widget, x, y, width, height);
        return widget;
    };
    auto button = [&](int id, const char* text, int x, int y, int width, int height) {
        auto* widget = new QPushButton(QString::fromUtf8(text), this);
        widget->setAutoDefault(false);
        place(id, widget, x, y, width, height);
        return widget;
    };

    playAudio_ = check(kIdPlayAudio, "下载完成后播放声音", 22, 7, 88, 14);
    closeToStay_ = check(kIdCloseToStay, "点击\"关闭\"后放入托盘", 22, 27, 126, 16);
    launchBySys_ = check(kIdLaunchBySys, "加入开机启动", 22, 49, 104, 16);
    loadDefaultProxy_ = check(kIdLoadDefaultProxy, "新建任务时加载默认代理服务器", 22, 71, 128, 18);
    // Beside the first two boxes, where the column on the right is free.
    autoExtract_ = check(kIdAutoExtract, "下载完成后自动解压", 165, 7, 132, 14);
    deleteArchive_ = check(kIdDeleteArchive, "解压成功后删除压缩包", 165, 27, 132, 16);

    auto* group = new QGroupBox(QString::fromUtf8("默认代理服务器"), this);
    group->setGeometry(units.Rect(22, 94, 275, 55));
    group->lower();
    label("地址：", 45, 110);
    proxyHost_ = edit(kIdProxyHost, 83, 109, 87, 12);
    label("端口：", 185, 110);
    proxyPort_ = edit(kIdProxyPort, 217, 107, 53, 12);
    label("用户名：", 45, 129);
    proxyUser_ = edit(kIdProxyUser, 83, 127, 87, 12);
    label("密码：", 185, 129);
    proxyPassword_ = edit(kIdProxyPassword, 217, 127, 53, 12);
    proxyPassword_->setEchoMode(QLineEdit::Password);

    // A number field with arrows against its right edge.
    auto count = [&](int id, int arrowsId, const char* text, int y, int lower, int upper) {
        label(text, 22, y + 1);
        QLineEdit* field = edit(id, 121, y, 40, 12);
        auto* arrows = new UpDownButtons(field, this);
        QRect rect = field->geometry();
        arrows->setGeometry(rect.right() + 1, rect.y(), units.X(10), rect.height());
        controls_[arrowsId] = arrows;
        arrows->SetRange(lower, upper);
        return field;
    };
    maxTasks_ = count(kIdMaxTasks, kIdMaxTasksArrows, "最多同时进行的任务数：", 159, 1, 20);
    maxConnections_ = count(kIdMaxConnections, kIdMaxConnectionsArrows, "每个任务最多连接数：", 159 + kRow,
                            platform::settings::kFewestConnections, platform::settings::kMostConnections);
    maxConnectionsPerHost_ =
        count(kIdMaxConnectionsPerHost, kIdMaxConnectionsPerHostArrows, "每台服务器最多连接数：", 159 + 2 * kRow,
              platform::settings::kFewestConnections, platform::settings::kMostConnectionsPerHost);
    label("总下载限速（KB/s，0 为不限）：", 22, 160 + 3 * kRow);
    maxSpeed_ = edit(kIdMaxSpeed, 160, 159 + 3 * kRow, 50, 12);
    // These fields take only numbers that can be stored as they are, and show which.
    auto range = [&](QLineEdit* field, long long lower, long long upper, int x, int y) {
        field->setValidator(new QIntValidator(static_cast<int>(lower), static_cast<int>(upper), field));
        label(("（" + std::to_string(lower) + "-" + std::to_string(upper) + "）").c_str(), x, y);
    };
    range(maxConnections_, platform::settings::kFewestConnections, platform::settings::kMostConnections, 175,
          160 + kRow);
    range(maxConnectionsPerHost_, platform::settings::kFewestConnections, platform::settings::kMostConnectionsPerHost,
          175, 160 + 2 * kRow);
    range(maxSpeed_, 0, platform::settings::kMostSpeed, 214, 160 + 3 * kRow);

    label("文件默认保存到：", 22, 180 + 3 * kRow);
    defaultPath_ = edit(kIdDefaultPath, 22, 198 + 3 * kRow, 215, 15);
    QPushButton* browse = button(kIdBrowse, "浏览…", 249, 198 + 3 * kRow, 48, 15);

    QPushButton* ok = button(kIdOk, "确定", 204, 226 + 3 * kRow, 43, 13);
    ok->setDefault(true);
    QPushButton* cancel = button(kIdCancel, "取消", 254, 226 + 3 * kRow, 43, 13);

    connect(browse, &QPushButton::clicked, this, &OptionsDialog::Browse);
    connect(launchBySys_, &QCheckBox::clicked, this, &OptionsDialog::AutostartClicked);
    connect(ok, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &OptionsDialog::reject);
}

void OptionsDialog::LoadSettings() {
    platform::Settings settings(environment_.programDirectory);
    playAudio_->setChecked(settings.PlayAudioCmp() != 0);
    closeToStay_->setChecked(settings.CloseToStay() != 0);
    launchBySys_->setChecked(settings.LaunchBySys() != 0);
    loadDefaultProxy_->setChecked(settings.LoadDefaultPxy() != 0);
    autoExtract_->setChecked(settings.AutoExtract() != 0);
    deleteArchive_->setChecked(settings.DeleteArchiveAfterExtract() != 0);
    maxTasks_->setText(QString::number(settings.MaxTaskNum()));
    maxConnections_->setText(QString::number(settings.MaxConnections()));
    maxConnectionsPerHost_->setText(QString::number(settings.MaxConnectionsPerHost()));
    maxSpeed_->setText(QString::number(settings.MaxSpeed()));

    platform::ProxySettings proxy = settings.DefaultProxy();
    proxyHost_->setText(UiText(proxy.ip));
    proxyPort_->setText(UiText(proxy.port));
    proxyUser_->setText(UiText(proxy.userName));
    proxyPassword_->setText(UiText(proxy.userPwd));
    defaultPath_->setText(UiText(settings.DefaultPath(environment_.desktopFolder)));
}

void OptionsDialog::ShowMessage(const char* utf8Text) {
    ports_.messages.Show(AnsiLiteral(utf8Text), environment_.applicationName, MessageButtons::Ok);
}

void OptionsDialog::Browse() {
    std::optional<std::string> chosen = ports_.folders.PickFolder(AnsiLiteral("请选择文件夹"), this);
    if (chosen) {
        defaultPath_->setText(UiText(*chosen));
    }
}

void OptionsDialog::AutostartClicked(bool checked) {
    // The box keeps the user's click whatever happens here; OK stores that state.
    if (!checked) {
        if (!ports_.autostart.Remove()) {
            ShowMessage("打开注册表项失败！");
        }
        return;
    }
    if (!ports_.autostart.Add()) {
        ShowMessage(
            "加入开机启动失败。失败原因：您的安全软件刚刚提示您有程序修改开机启动项的时候您可能选择了\"阻止\"！"
            "不过，您可以再次点击确定按钮，重新选择。");
    }
}

bool OptionsDialog::InRange(QLineEdit* field, const std::string& utf8Text) {
    if (field->hasAcceptableInput()) {
        return true;
    }
    ShowMessage(utf8Text.c_str());
    field->setFocus();
    field->selectAll();
    return false;
}

void OptionsDialog::accept() {
    // A number outside its range is not stored as another one: the user corrects it.
    namespace keys = platform::settings;
    if (!InRange(maxConnections_, "每个任务最多连接数须在 " + std::to_string(keys::kFewestConnections) + " 到 " +
                                      std::to_string(keys::kMostConnections) + " 之间。") ||
        !InRange(maxConnectionsPerHost_, "每台服务器最多连接数须在 " + std::to_string(keys::kFewestConnections) +
                                             " 到 " + std::to_string(keys::kMostConnectionsPerHost) + " 之间。") ||
        !InRange(maxSpeed_, "总下载限速须在 0 到 " + std::to_string(keys::kMostSpeed) + " KB/s 之间（0 为不限）。")) {
        return;
    }
    platform::Settings settings(environment_.programDirectory);
    platform::SettingsChanges changes(settings);
    changes.PlayAudioCmp(playAudio_->isChecked())
        .CloseToStay(closeToStay_->isChecked())
        .LaunchBySys(launchBySys_->isChecked())
        .LoadDefaultPxy(loadDefaultProxy_->isChecked())
        .AutoExtract(autoExtract_->isChecked())
        .DeleteArchiveAfterExtract(deleteArchive_->isChecked())
        .MaxTaskNum(ClampTaskCountText(AnsiText(maxTasks_->text())))
        .MaxConnections(platform::MaxConnectionsFromText(AnsiText(maxConnections_->text())))
        .MaxConnectionsPerHost(platform::MaxConnectionsPerHostFromText(AnsiText(maxConnectionsPerHost_->text())))
        .MaxSpeed(platform::MaxSpeedFromText(AnsiText(maxSpeed_->text())))
        .DefaultPath(AnsiText(defaultPath_->text()))
        .DefaultProxy({AnsiText(proxyHost_->text()), AnsiText(proxyPort_->text()), AnsiText(proxyUser_->text()),
                       AnsiText(proxyPassword_->text())});
    // All or nothing: on a refusal the file is as it was and the dialog keeps what was typed.
    if (int error = changes.Save(); error != 0) {
        ports_.messages.Show(AnsiLiteral("设置无法保存：无法写入 ") + settings.file().path() + AnsiLiteral("（") +
                                 FileErrorText(error) + AnsiLiteral("）。"),
                             environment_.applicationName, MessageButtons::Ok);
        return;
    }
    QDialog::accept();
}

}  // namespace tarvane
