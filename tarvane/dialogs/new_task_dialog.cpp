#include "tarvane/dialogs/new_task_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStandardItemModel>
#include <cstdlib>

#include "platform/settings.h"
#include "tarvane/dialogs/dialog_text.h"
#include "tarvane/dialogs/dialog_units.h"
#include "tarvane/dialogs/recent_folders.h"

namespace tarvane {

namespace {

constexpr const char* kMoreText = "更多选项";
constexpr const char* kLessText = "简洁模式";

}  // namespace

NewTaskDialog::NewTaskDialog(DialogEnvironment environment, NewTaskPorts ports, NewTaskCallbacks callbacks,
                             QWidget* parent)
    : QDialog(parent), environment_(std::move(environment)), ports_(ports), callbacks_(std::move(callbacks)) {
    Build();
    LoadSettings();
}

QWidget* NewTaskDialog::Control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void NewTaskDialog::Build() {
    setWindowTitle(QString::fromUtf8("新建任务"));
    setFont(DialogTemplateFont());
    DialogUnits units;

    auto label = [&](const char* text, int x, int y) {
        auto* widget = new QLabel(QString::fromUtf8(text), this);
        widget->move(units.X(x), units.Y(y));
        widget->adjustSize();
    };
    auto place = [&](int id, QWidget* widget, int x, int y, int width, int height) {
        widget->setGeometry(units.Rect(x, y, width, height));
        controls_[id] = widget;
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

    label("网址：", 13, 15);
    address_ = edit(kIdAddress, 53, 14, 179, 13);

    label("保存目录:", 13, 44);
    folder_ = new QComboBox(this);
    folder_->setEditable(true);
    folder_->setInsertPolicy(QComboBox::NoInsert);
    // Typed folders stay exactly as typed: no completion that could change their letters.
    folder_->setCompleter(nullptr);
    place(kIdFolder, folder_, 53, 42, 125, 13);
    QPushButton* browse = button(kIdBrowse, "浏览", 189, 40, 43, 16);

    label("另存名称:", 13, 75);
    saveName_ = edit(kIdSaveName, 53, 72, 179, 13);

    more_ = button(kIdMore, kMoreText, 13, 112, 50, 14);
    QPushButton* ok = button(kIdOk, "确定", 121, 112, 50, 14);
    ok->setDefault(true);
    QPushButton* cancel = button(kIdCancel, "取消", 182, 112, 50, 14);

    auto* group = new QGroupBox(QString::fromUtf8("HTTP代理设置"), this);
    group->setGeometry(units.Rect(13, 150, 219, 76));
    group->lower();
    useProxy_ = new QCheckBox(QString::fromUtf8("使用代理服务器"), this);
    place(kIdUseProxy, useProxy_, 22, 165, 121, 10);
    label("地址:", 22, 186);
    proxyHost_ = edit(kIdProxyHost, 58, 184, 88, 12);
    label("端口:", 159, 186);
    proxyPort_ = edit(kIdProxyPort, 186, 184, 35, 12);
    proxyPort_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), proxyPort_));
    label("用户名:", 22, 206);
    proxyUser_ = edit(kIdProxyUser, 58, 206, 61, 12);
    label("密码:", 129, 207);
    proxyPassword_ = edit(kIdProxyPassword, 160, 206, 61, 12);
    proxyPassword_->setEchoMode(QLineEdit::Password);

    fullHeight_ = units.Y(235);
    QRect moreRect = more_->geometry();
    collapsedHeight_ = moreRect.y() + moreRect.height() + 15;
    setFixedSize(units.X(247), collapsedHeight_);

    connect(more_, &QPushButton::clicked, this, &NewTaskDialog::ToggleExpanded);
    connect(browse, &QPushButton::clicked, this, &NewTaskDialog::Browse);
    connect(useProxy_, &QCheckBox::clicked, this, &NewTaskDialog::UpdateProxyFields);
    connect(ok, &QPushButton::clicked, this, &NewTaskDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &NewTaskDialog::reject);

    address_->setFocus();
}

void NewTaskDialog::LoadSettings() {
    platform::Settings settings(environment_.programDirectory);
    std::string defaultFolder = settings.DefaultPath(environment_.desktopFolder);
    std::vector<std::string> recent = ReadRecentFolders(settings.file());

    // The default folder is listed too, even when a recent entry repeats it.
    folder_->addItem(UiText(defaultFolder));
    for (const std::string& entry : recent) {
        folder_->addItem(UiText(entry));
    }
    folder_->model()->sort(0);
    folder_->setEditText(UiText(recent.empty() ? defaultFolder : recent.front()));

    platform::ProxySettings proxy = settings.LoadDefaultPxy() != 0 ? settings.DefaultProxy() : settings.LastProxy();
    proxyHost_->setText(UiText(proxy.ip));
    proxyPort_->setText(UiText(proxy.port));
    proxyUser_->setText(UiText(proxy.userName));
    proxyPassword_->setText(UiText(proxy.userPwd));
    UpdateProxyFields();
}

void NewTaskDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
}

void NewTaskDialog::ToggleExpanded() {
    bool expand = more_->text() == QString::fromUtf8(kMoreText);
    setFixedSize(width(), expand ? fullHeight_ : collapsedHeight_);
    more_->setText(QString::fromUtf8(expand ? kLessText : kMoreText));
}

void NewTaskDialog::Browse() {
    std::optional<std::string> chosen = ports_.folders.PickFolder(AnsiLiteral("请选择文件夹"), this);
    if (!chosen) {
        return;
    }
    folder_->setEditText(UiText(*chosen));
    saveName_->setFocus();
}

void NewTaskDialog::UpdateProxyFields() {
    bool enabled = useProxy_->isChecked();
    for (QLineEdit* field : {proxyHost_, proxyPort_, proxyUser_, proxyPassword_}) {
        field->setEnabled(enabled);
    }
}

void NewTaskDialog::ShowMessage(const char* utf8Text) {
    ports_.messages.Show(AnsiLiteral(utf8Text), environment_.applicationName, MessageButtons::Ok);
}

void NewTaskDialog::StoreLastProxy(const DownloadTask& task, const std::string& portText) {
    platform::Settings(environment_.programDirectory).SetLastProxy({task.prxIP, portText, task.prxName, task.prxPwd});
}

void NewTaskDialog::accept() {
    DownloadTask task;
    task.name = AnsiText(saveName_->text());
    task.frmPge = AnsiText(address_->text());
    task.path = AnsiText(folder_->currentText());
    std::string portText;
    bool proxy = useProxy_->isChecked();
    if (proxy) {
        task.prxIP = AnsiText(proxyHost_->text());
        portText = AnsiText(proxyPort_->text());
        task.prxPort = std::atoi(portText.c_str());
        task.prxName = AnsiText(proxyUser_->text());
        task.prxPwd = AnsiText(proxyPassword_->text());
    }
    task.fileLink = task.frmPge;

    if (!callbacks_.isSupportedLink || !callbacks_.isSupportedLink(task.frmPge)) {
        ShowMessage("您输入的网址不正确！请重新输入。");
        return;
    }
    if (task.path.empty()) {
        ShowMessage("请点击\"浏览\"选择文件保存目录！");
        return;
    }
    if (task.name.empty()) {
        ShowMessage("请输入文件另存名称！");
        return;
    }

    switch (ports_.tasks.LocatePage(task.frmPge)) {
        case kPageInDownloadList:
            ShowMessage("该网址已存在于正在下载任务列表中！");
            if (callbacks_.selectTaskRow) {
                callbacks_.selectTaskRow(task.frmPge);
            }
            break;
        case kPageCompleted:
            ShowMessage("该网址已经下载完成！");
            if (callbacks_.showCompletedItem) {
                callbacks_.showCompletedItem(task.frmPge);
            }
            break;
        case kPageNew: {
            AddTaskRequest request;
            request.task = task;
            request.resolve = 1;
            if (callbacks_.addTask) {
                callbacks_.addTask(request);
            }
            break;
        }
    }

    UpdateRecentFolders(platform::Settings(environment_.programDirectory).file(), task.path);
    if (proxy) {
        StoreLastProxy(task, portText);
    }
    QDialog::accept();
}

}  // namespace tarvane
