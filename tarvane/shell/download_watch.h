#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "desktop/thread_mailbox.h"
#include "tarvane/engine/desktop_ports.h"
#include "tarvane/shell/bus/done_notifier.h"
#include "tarvane/shell/bus/sleep_inhibitor.h"

namespace tarvane {

// What the desktop hears of the downloads: the machine is kept awake while any task runs, and a
// notice tells of the tasks that end. Lives on the interface thread; workers reach it only through
// the mailbox.
class DownloadWatch : public QObject, public TaskEnds {
public:
    struct Setup {
        QDBusConnection systemBus;   // the login manager's
        QDBusConnection sessionBus;  // the notification service's
        // Whether any task downloads or waits to retry; asked a few times a second.
        std::function<bool()> busy;
        DoneNotifier::Actions actions;
    };

    DownloadWatch(Setup setup, ThreadMailbox& mailbox, QObject* parent = nullptr);

    // Any thread.
    void Finished(const std::string& file, const std::string& folder, const std::string& unpackFailure) override;
    void FailedForGood(const std::string& name, const std::string& reason) override;

private:
    void Poll();

    ThreadMailbox& mailbox_;
    std::function<bool()> busy_;
    SleepInhibitor inhibitor_;
    DoneNotifier notifier_;
    QTimer poll_;
    bool wasBusy_ = false;
};

}  // namespace tarvane
