#pragma once

#include <QDBusConnection>
#include <QProcess>

namespace tarvane::test {

// A dbus-daemon of our own for one test; each named connection to it stands for another process.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (daemon_.waitForReadyRead(10000)) {
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    // Named after the bus as well, so that a later test's bus gets connections of its own.
    QDBusConnection Connect(const QString& name) { return QDBusConnection::connectToBus(address_, address_ + name); }
    // Serves `object` at `path` under the well-known `service` name.
    bool Serve(const QString& service, const QString& path, QObject* object) {
        QDBusConnection connection = Connect(service);
        return connection.registerObject(path, object, QDBusConnection::ExportAllSlots) &&
               connection.registerService(service);
    }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace tarvane::test
