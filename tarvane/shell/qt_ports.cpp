#include "tarvane/shell/qt_ports.h"

#include <canberra.h>

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

#include "desktop/message_box.h"
#include "desktop/qt_text.h"
#include "platform/codepage.h"

namespace tarvane {

MessageAnswer QtMessageBoxes::Show(const std::string& text, const std::string& caption, MessageButtons buttons) {
    return Run(text, caption, buttons, false);
}

MessageAnswer QtMessageBoxes::Warn(const std::string& text, const std::string& caption) {
    return Run(text, caption, MessageButtons::Ok, true);
}

MessageAnswer QtMessageBoxes::Run(const std::string& text, const std::string& caption, MessageButtons buttons,
                                  bool warning) {
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, UiText(caption), UiText(text),
                    buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    owner_.data());
    int answer = RunMessageBox(box);
    return answer == QMessageBox::Cancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
}

bool QtClipboard::PutText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(UiText(text));
    return true;
}

void XdgDesktop::ShowFileInFolder(const std::string& file) {
    QString path = UiText(file);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (bus.isConnected() && bus.interface() != nullptr && bus.interface()->isServiceRegistered(service)) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                           service, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        if (bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage) {
            return;
        }
    }
    auto slash = file.find_last_of('/');
    OpenFolder(slash == std::string::npos ? file : file.substr(0, slash + 1));
}

void XdgDesktop::OpenFolder(const std::string& folder) {
    std::string utf8 = platform::Utf8FromAnsi(folder);
    // A path that begins with '-' would read as an option.
    if (!utf8.empty() && utf8[0] != '-') {
        starter_.Start("xdg-open", {utf8});
    }
}

void XdgDesktop::OpenWebPage(const std::string& url) {
    std::string utf8 = platform::Utf8FromAnsi(url);
    if (!utf8.empty() && utf8[0] != '-') {
        starter_.Start("xdg-open", {utf8});
    }
}

CanberraSound::~CanberraSound() {
    if (context_ != nullptr) {
        ca_context_destroy(static_cast<ca_context*>(context_));
    }
}

void CanberraSound::PlayCompletionSound() {
    std::lock_guard lock(mutex_);
    if (context_ == nullptr) {
        ca_context* context = nullptr;
        if (ca_context_create(&context) != CA_SUCCESS) {
            return;
        }
        context_ = context;
    }
    auto* context = static_cast<ca_context*>(context_);
    QByteArray file = QDir::current().absoluteFilePath(QStringLiteral("Sounds/completeDownload.wav")).toUtf8();
    if (ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, file.constData(), nullptr) != CA_SUCCESS) {
        ca_context_play(context, 0, CA_PROP_EVENT_ID, "complete", nullptr);
    }
}

}  // namespace tarvane
