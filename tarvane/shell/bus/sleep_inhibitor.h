#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

namespace tarvane {

// Keeps the machine from sleeping while downloads run: a "sleep" inhibitor of the login manager,
// held as the file descriptor it hands out. Released a while after the last task stops, so the gap
// between one task and the next does not drop and retake it. Without a login manager on the bus
// nothing happens, quietly.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    // `bus` is the system bus in the program.
    explicit SleepInhibitor(QDBusConnection bus, int releaseDelayMs = 4000, QObject* parent = nullptr);
    ~SleepInhibitor() override;

    // True while any task downloads or waits to retry.
    void SetBusy(bool busy);
    bool Holding() const { return fd_ >= 0; }

private:
    void Ask();
    void Release();

    QDBusConnection bus_;
    QTimer releaseTimer_;
    bool busy_ = false;
    bool asking_ = false;
    int fd_ = -1;
};

}  // namespace tarvane
