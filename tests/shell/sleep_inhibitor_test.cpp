// The inhibitor against a stand-in login manager on a private bus, and on a bus without one.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include "tarvane/shell/bus/sleep_inhibitor.h"
#include "tests/support/private_bus.h"
#include "tests/support/spin.h"

namespace tarvane {

// Hands out the write end of a pipe per call; its read end sees the end of file once every copy
// of the write end is closed, the inhibitor's included.
class StandInLoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~StandInLoginManager() override {
        if (readEnd >= 0) {
            ::close(readEnd);
        }
    }
    bool Released() const {
        pollfd watch{readEnd, POLLIN, 0};
        char byte;
        return ::poll(&watch, 1, 0) == 1 && ::read(readEnd, &byte, 1) == 0;
    }
    QStringList calls;
    int readEnd = -1;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode) {
        calls << QStringList{what, who, why, mode}.join('|');
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return {};
        }
        if (readEnd >= 0) {
            ::close(readEnd);
        }
        readEnd = ends[0];
        QDBusUnixFileDescriptor handed(ends[1]);  // a copy
        ::close(ends[1]);
        return handed;
    }
};

namespace {

using test::SpinUntil;

TEST(SleepInhibitor, HeldWhileBusyKeptOverShortGapsReleasedAfter) {
    test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    StandInLoginManager manager;
    QDBusConnection service = bus.Connect("login-manager");
    ASSERT_TRUE(service.registerObject("/org/freedesktop/login1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService("org.freedesktop.login1"));

    SleepInhibitor inhibitor(bus.Connect("tarvane"), 300);
    inhibitor.SetBusy(true);
    ASSERT_TRUE(SpinUntil([&] { return inhibitor.Holding(); }));
    EXPECT_EQ(manager.calls, QStringList{QString::fromUtf8("sleep|tarvane|正在下载游戏|block")});
    EXPECT_FALSE(manager.Released());

    // One task ends, the next starts at once: the same inhibitor goes on.
    inhibitor.SetBusy(false);
    inhibitor.SetBusy(true);
    SpinUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_TRUE(inhibitor.Holding());
    EXPECT_FALSE(manager.Released());
    EXPECT_EQ(manager.calls.size(), 1);

    inhibitor.SetBusy(false);
    EXPECT_TRUE(SpinUntil([&] { return manager.Released(); }));
    EXPECT_FALSE(inhibitor.Holding());
    inhibitor.SetBusy(true);
    EXPECT_TRUE(SpinUntil([&] { return inhibitor.Holding() && manager.calls.size() == 2; }));
}

TEST(SleepInhibitor, WithoutALoginManagerNothingHappensAndNothingIsSaid) {
    test::PrivateBus bus;
    static int messages = 0;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++messages; });
    {
        SleepInhibitor inhibitor(bus.Connect("tarvane"), 100);
        inhibitor.SetBusy(true);
        SpinUntil([] { return false; }, std::chrono::milliseconds(500));
        EXPECT_FALSE(inhibitor.Holding());
        inhibitor.SetBusy(false);
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(messages, 0);
}

}  // namespace
}  // namespace tarvane

#include "sleep_inhibitor_test.moc"
