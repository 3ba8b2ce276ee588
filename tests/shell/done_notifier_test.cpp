// Notices seen by a stand-in notification service on a private bus, and its clicks sent back.
#include <gtest/gtest.h>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include "tarvane/shell/bus/done_notifier.h"
#include "tests/support/private_bus.h"
#include "tests/support/spin.h"

namespace tarvane {

class StandInNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notices;  // summary and body
    uint lastId = 0;

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        notices << app + "|" + summary + "|" + body + "|" + actions.join(',');
        return ++lastId;
    }
};

namespace {

using test::SpinUntil;

void Click(QDBusConnection& service, uint id) {
    QDBusMessage signal =
        QDBusMessage::createSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
    signal << id << QStringLiteral("default");
    service.send(signal);
}

TEST(DoneNotifier, EndsCloseTogetherMakeOneNoticeWhoseClickOpensTheFolderOrTheWindow) {
    test::PrivateBus bus;
    StandInNotifications stand;
    QDBusConnection service = bus.Connect("notifications");
    ASSERT_TRUE(service.registerObject("/org/freedesktop/Notifications", &stand, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    bool active = false;
    QStringList opened;
    int shown = 0;
    DoneNotifier notifier(bus.Connect("tarvane"),
                          {[&] { return active; }, [&](const QString& f) { opened << f; }, [&] { ++shown; }, {}}, 200);

    notifier.TaskFinished(QString::fromUtf8("仙剑"), "/games");
    notifier.TaskFinished(QString::fromUtf8("轩辕剑"), "/games");
    ASSERT_TRUE(SpinUntil([&] { return stand.notices.size() == 1; }));
    EXPECT_EQ(stand.notices[0],
              QString::fromUtf8("tarvane|2 个下载任务已结束|仙剑：下载完成\n轩辕剑：下载完成|default,打开"));
    Click(service, stand.lastId);
    ASSERT_TRUE(SpinUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringList{"/games"});

    notifier.TaskFailed(QString::fromUtf8("仙剑"), QString::fromUtf8("服务器返回 404"));
    ASSERT_TRUE(SpinUntil([&] { return stand.notices.size() == 2; }));
    EXPECT_EQ(stand.notices[1], QString::fromUtf8("tarvane|下载失败|仙剑\n服务器返回 404|default,打开"));
    Click(service, stand.lastId - 1);  // an older notice: nothing
    Click(service, stand.lastId);
    ASSERT_TRUE(SpinUntil([&] { return shown >= 1; }));
    SpinUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(opened.size(), 1);

    // With the window in front, the list says it all.
    active = true;
    notifier.TaskFinished(QString::fromUtf8("仙剑"), "/games");
    SpinUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(stand.notices.size(), 2);
}

TEST(DoneNotifier, WithoutANotificationServiceTheTraySaysIt) {
    test::PrivateBus bus;
    QStringList tray;
    DoneNotifier notifier(bus.Connect("tarvane"),
                          {{}, {}, {}, [&](const QString& summary, const QString&) { tray << summary; }}, 50);
    notifier.TaskFinished(QString::fromUtf8("仙剑"), "/games");
    EXPECT_TRUE(SpinUntil([&] { return tray == QStringList{QString::fromUtf8("下载完成")}; }));
}

}  // namespace
}  // namespace tarvane

#include "done_notifier_test.moc"
