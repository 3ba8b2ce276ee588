#include "tarvane/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/settings.h"
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
    setFixedSize(units.X(322), units.Y(246));

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

    label("最多同时进行的任务数：", 22, 160);
    maxTasks_ = edit(kIdMaxTasks, 121, 159, 40, 12);
    arrows_ = new UpDownButtons(maxTasks_, this);
    // The arrows sit against the right edge of their field.
    QRect field = maxTasks_->geometry();
    arrows_->setGeometry(field.right() + 1, field.y(), units.X(10), field.height());
    controls_[kIdMaxTasksArrows] = arrows_;
    arrows_->SetRange(1, 20);

    label("文件默认保存到：", 22, 180);
    defaultPath_ = edit(kIdDefaultPath, 22, 198, 215, 15);
    QPushButton* browse = button(kIdBrowse, "浏览…", 249, 198, 48, 15);

    QPushButton* ok = button(kIdOk, "确定", 204, 226, 43, 13);
    ok->setDefault(true);
    QPushButton* cancel = button(kIdCancel, "取消", 254, 226, 43, 13);

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
    maxTasks_->setText(QString::number(settings.MaxTaskNum()));

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

void OptionsDialog::accept() {
    platform::Settings settings(environment_.programDirectory);
    settings.SetPlayAudioCmp(playAudio_->isChecked());
    settings.SetCloseToStay(closeToStay_->isChecked());
    settings.SetLaunchBySys(launchBySys_->isChecked());
    settings.SetLoadDefaultPxy(loadDefaultProxy_->isChecked());
    settings.SetMaxTaskNum(ClampTaskCountText(AnsiText(maxTasks_->text())));
    settings.SetDefaultPath(AnsiText(defaultPath_->text()));
    settings.SetDefaultProxy({AnsiText(proxyHost_->text()), AnsiText(proxyPort_->text()), AnsiText(proxyUser_->text()),
                              AnsiText(proxyPassword_->text())});
    QDialog::accept();
}

}  // namespace tarvane
