#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace tarvane {

// A desktop notice when a task finishes or fails for good. Ends that come within a few seconds of
// the first make one notice; none is shown while the main window is in front. A click on a notice
// opens the game's folder, or brings the window forward when a task failed or the ends lie in
// several folders.
class DoneNotifier : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<bool()> windowActive;
        std::function<void(const QString& folder)> openFolder;
        std::function<void()> showWindow;
        // Where no notification service answers: the tray's own message.
        std::function<void(const QString& summary, const QString& body)> trayMessage;
    };

    // `bus` is the session bus in the program.
    DoneNotifier(QDBusConnection bus, Actions actions, int mergeMs = 3000, QObject* parent = nullptr);

    // `folder` is where the finished file lies; `unpackFailure` why its archive was not unpacked.
    void TaskFinished(const QString& game, const QString& folder, const QString& unpackFailure = {});
    void TaskFailed(const QString& game, const QString& reason);

private slots:
    void OnActionInvoked(uint id, const QString& action);

private:
    struct End {
        QString game;
        QString folder;  // empty for a failure
        QString reason;
        QString unpackFailure;
    };
    void Add(End end);
    void Send();

    QDBusConnection bus_;
    Actions actions_;
    QTimer mergeTimer_;
    std::vector<End> pending_;
    // The last notice shown and what a click on it does; an older one's click does nothing.
    uint shownId_ = 0;
    QString clickFolder_;
};

}  // namespace tarvane
