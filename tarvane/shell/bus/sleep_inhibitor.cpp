#include "tarvane/shell/bus/sleep_inhibitor.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

namespace tarvane {

SleepInhibitor::SleepInhibitor(QDBusConnection bus, int releaseDelayMs, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setInterval(releaseDelayMs);
    connect(&releaseTimer_, &QTimer::timeout, this, &SleepInhibitor::Release);
}

SleepInhibitor::~SleepInhibitor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void SleepInhibitor::SetBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        releaseTimer_.stop();
        if (fd_ < 0 && !asking_) {
            Ask();
        }
    } else if (fd_ >= 0 && !releaseTimer_.isActive()) {
        releaseTimer_.start();
    }
}

void SleepInhibitor::Ask() {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("tarvane") << QString::fromUtf8("正在下载游戏")
         << QStringLiteral("block");
    asking_ = true;
    // Never waits on the interface thread: the answer comes back through the event loop.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
        done->deleteLater();
        asking_ = false;
        if (reply.isError() || !reply.value().isValid()) {
            return;  // no login manager, or one that says no: downloads go on all the same
        }
        fd_ = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
        if (!busy_) {
            releaseTimer_.start();  // the tasks stopped while the answer was on its way
        }
    });
}

void SleepInhibitor::Release() {
    if (fd_ >= 0 && !busy_) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace tarvane
