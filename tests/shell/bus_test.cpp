// What tarvane says over D-Bus, seen by stand-in services on a private bus.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include "platform/codepage.h"
#include "tarvane/shell/bus/done_notifier.h"
#include "tarvane/shell/bus/sleep_inhibitor.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/private_bus.h"
#include "tests/support/spin.h"

namespace tarvane {

// Hands out the write end of a pipe; the read end sees the end of file once every copy is closed.
class StandInLoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    bool Released() const {
        pollfd watch{readEnd, POLLIN, 0};
        char byte;
        return ::poll(&watch, 1, 0) == 1 && ::read(readEnd, &byte, 1) == 0;
    }
    QStringList calls;
    int readEnd = -1;  // left open: the test process ends soon

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode) {
        calls << QStringList{what, who, why, mode}.join('|');
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        readEnd = ends[0];
        QDBusUnixFileDescriptor handed(ends[1]);  // a copy
        ::close(ends[1]);
        return handed;
    }
};

class StandInNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notices;

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        notices << QStringList{app, summary, body, actions.join(',')}.join('|');
        return notices.size();
    }
};

namespace {

using test::SpinUntil;

using ShellBusTest = test::ShellTest;

void Linger(int ms) {
    SpinUntil([] { return false; }, std::chrono::milliseconds(ms));
}

TEST(SleepInhibitor, HeldWhileBusyKeptOverShortGapsAndSilentWithoutALoginManager) {
    test::PrivateBus bus;
    StandInLoginManager manager;
    ASSERT_TRUE(bus.Serve("org.freedesktop.login1", "/org/freedesktop/login1", &manager));
    SleepInhibitor inhibitor(bus.Connect("tarvane"), 300);
    inhibitor.SetBusy(true);
    ASSERT_TRUE(SpinUntil([&] { return inhibitor.Holding(); }));
    EXPECT_EQ(manager.calls, QStringList{QString::fromUtf8("sleep|tarvane|正在下载游戏|block")});
    // One task ends, the next starts at once: the same inhibitor goes on.
    inhibitor.SetBusy(false);
    inhibitor.SetBusy(true);
    Linger(600);
    EXPECT_TRUE(inhibitor.Holding() && !manager.Released() && manager.calls.size() == 1);

    static int messages = 0;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++messages; });
    test::PrivateBus empty;
    SleepInhibitor alone(empty.Connect("tarvane"), 100);
    alone.SetBusy(true);
    Linger(500);
    alone.SetBusy(false);
    qInstallMessageHandler(previous);
    EXPECT_FALSE(alone.Holding());
    EXPECT_EQ(messages, 0);
}

TEST(DoneNotifier, EndsCloseTogetherMakeOneNoticeWhoseClickOpensTheFolderOrTheWindow) {
    test::PrivateBus bus;
    StandInNotifications stand;
    ASSERT_TRUE(bus.Serve("org.freedesktop.Notifications", "/org/freedesktop/Notifications", &stand));
    QDBusConnection service = bus.Connect("org.freedesktop.Notifications");
    auto click = [&](uint id) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                         "org.freedesktop.Notifications", "ActionInvoked");
        service.send(signal << id << QStringLiteral("default"));
    };
    bool active = false;
    QStringList opened, tray;
    int shown = 0;
    DoneNotifier notifier(bus.Connect("tarvane"),
                          {[&] { return active; }, [&](const QString& f) { opened << f; }, [&] { ++shown; }, {}}, 200);
    notifier.TaskFinished(QString::fromUtf8("仙剑"), "/games");
    notifier.TaskFinished(QString::fromUtf8("轩辕剑"), "/games");
    ASSERT_TRUE(SpinUntil([&] { return stand.notices.size() == 1; }));
    EXPECT_EQ(stand.notices[0],
              QString::fromUtf8("tarvane|2 个下载任务已结束|仙剑：下载完成\n轩辕剑：下载完成|default,打开"));
    click(1);
    ASSERT_TRUE(SpinUntil([&] { return opened == QStringList{"/games"}; }));

    notifier.TaskFailed(QString::fromUtf8("仙剑"), QString::fromUtf8("服务器返回 404"));
    ASSERT_TRUE(SpinUntil([&] { return stand.notices.size() == 2; }));
    EXPECT_EQ(stand.notices[1], QString::fromUtf8("tarvane|下载失败|仙剑\n服务器返回 404|default,打开"));
    click(1);  // the older notice: nothing
    click(2);
    ASSERT_TRUE(SpinUntil([&] { return shown >= 1; }));
    Linger(300);
    EXPECT_TRUE(shown == 1 && opened.size() == 1);

    // The window in front at the end of the few seconds: the list says it all.
    notifier.TaskFinished(QString::fromUtf8("仙剑"), "/games");
    active = true;
    Linger(500);
    EXPECT_EQ(stand.notices.size(), 2);

    test::PrivateBus empty;  // no notification service: the tray says it
    DoneNotifier alone(empty.Connect("tarvane"), {{}, {}, {}, [&](const QString& s, const QString&) { tray << s; }},
                       50);
    alone.TaskFinished(QString::fromUtf8("仙剑"), "/games");
    EXPECT_TRUE(SpinUntil([&] { return tray == QStringList{QString::fromUtf8("下载完成")}; }));
}

// The main window on the bus: awake while its task runs, free again after, a notice when one ends.
TEST_F(ShellBusTest, MainWindowHoldsTheInhibitorWhileATaskRunsAndTellsOfItsEnd) {
    test::PrivateBus bus;
    StandInLoginManager manager;
    StandInNotifications stand;
    ASSERT_TRUE(bus.Serve("org.freedesktop.login1", "/org/freedesktop/login1", &manager) &&
                bus.Serve("org.freedesktop.Notifications", "/org/freedesktop/Notifications", &stand));
    bus_ = bus.Connect("tarvane");
    auto dialog = MakeDialog("tarvane://>" + StallingPage(1) + "<");
    dialog->Initialize();
    ASSERT_TRUE(SpinUntil([&] { return manager.calls.size() == 1; }));
    dialog->engine().commands.PauseTask(dialog->model().IdOfRow(0));
    EXPECT_TRUE(SpinUntil([&] { return manager.Released(); }, std::chrono::seconds(10)));

    site_.AddFile("/files/small.rar", test::MakeFileBytes(3000, 7));
    site_.SetParseReply(Page(2), site_.Url("/files/small.rar"), platform::AnsiFromUtf8("仙剑"));
    dialog->OnCopyData(0, {Page(2), "", "", 0});
    ASSERT_TRUE(SpinUntil([&] { return stand.notices.size() == 1; }));
    EXPECT_EQ(stand.notices[0], QString::fromUtf8("tarvane|下载完成|仙剑.rar|default,打开"));
}

}  // namespace
}  // namespace tarvane

#include "bus_test.moc"
