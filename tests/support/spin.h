#pragma once

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <functional>

namespace tarvane::test {

// Processes Qt events until `done` or the time is up; answers done().
inline bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace tarvane::test
