#include "tests/selvik/selvik_fakes.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdlib>

namespace selvik::test {

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
    if (saved_.find(name) == saved_.end()) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
}

bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace selvik::test
