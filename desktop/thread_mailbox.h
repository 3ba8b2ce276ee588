#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <mutex>
#include <vector>

namespace tarvane {

// Work that other threads hand to the thread that made the mailbox. It does not go through Qt's
// event queue, whose lock the thread checker cannot see: that thread's timer takes it a few times a
// second, in the order it was posted.
class ThreadMailbox : public QObject {
public:
    explicit ThreadMailbox(int intervalMs = 100, QObject* parent = nullptr);

    // Any thread.
    void Post(std::function<void()> work);

private:
    void Drain();

    std::mutex mutex_;
    std::vector<std::function<void()>> work_;
    QTimer timer_;
};

}  // namespace tarvane
