#include "tarvane/shell/bus/done_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace tarvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

DoneNotifier::DoneNotifier(QDBusConnection bus, Actions actions, int mergeMs, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), actions_(std::move(actions)) {
    mergeTimer_.setSingleShot(true);
    mergeTimer_.setInterval(mergeMs);
    connect(&mergeTimer_, &QTimer::timeout, this, &DoneNotifier::Send);
    bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
}

void DoneNotifier::TaskFinished(const QString& game, const QString& folder, const QString& unpackFailure) {
    Add({game, folder, {}, unpackFailure});
}

void DoneNotifier::TaskFailed(const QString& game, const QString& reason) {
    Add({game, {}, reason, {}});
}

void DoneNotifier::Add(End end) {
    pending_.push_back(std::move(end));
    if (!mergeTimer_.isActive()) {
        mergeTimer_.start();
    }
}

void DoneNotifier::Send() {
    std::vector<End> ends = std::move(pending_);
    pending_.clear();
    if (ends.empty() || (actions_.windowActive && actions_.windowActive())) {
        return;  // the list in front already shows them
    }
    QString summary;
    QStringList lines;
    QString folder = ends.front().folder;
    for (const End& end : ends) {
        lines << (end.folder.isEmpty() ? QString::fromUtf8("%1：下载失败，%2").arg(end.game, end.reason)
                  : end.unpackFailure.isEmpty()
                      ? QString::fromUtf8("%1：下载完成").arg(end.game)
                      : QString::fromUtf8("%1：下载完成，未能解压：%2").arg(end.game, end.unpackFailure));
        if (end.folder != folder) {
            folder.clear();  // several folders, or a failure: the click shows the window
        }
    }
    if (ends.size() == 1) {
        summary = folder.isEmpty() ? QString::fromUtf8("下载失败") : QString::fromUtf8("下载完成");
        const End& end = ends.front();
        lines = QStringList{folder.isEmpty() ? QString::fromUtf8("%1\n%2").arg(end.game, end.reason)
                            : end.unpackFailure.isEmpty()
                                ? end.game
                                : QString::fromUtf8("%1\n未能解压：%2").arg(end.game, end.unpackFailure)};
    } else {
        summary = QString::fromUtf8("%1 个下载任务已结束").arg(ends.size());
    }
    QString body = lines.join('\n');
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("tarvane") << uint(0) << QStringLiteral("tarvane") << summary << body
         << QStringList{QStringLiteral("default"), QString::fromUtf8("打开")} << QVariantMap{} << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folder, summary, body](QDBusPendingCallWatcher* done) {
                QDBusPendingReply<uint> reply = *done;
                done->deleteLater();
                if (!reply.isError()) {
                    shownId_ = reply.value();
                    clickFolder_ = folder;
                } else if (actions_.trayMessage) {
                    actions_.trayMessage(summary, body);
                }
            });
}

void DoneNotifier::OnActionInvoked(uint id, const QString& action) {
    if (id == 0 || id != shownId_ || action != QStringLiteral("default")) {
        return;
    }
    if (!clickFolder_.isEmpty() && actions_.openFolder) {
        actions_.openFolder(clickFolder_);
    } else if (clickFolder_.isEmpty() && actions_.showWindow) {
        actions_.showWindow();
    }
}

}  // namespace tarvane
