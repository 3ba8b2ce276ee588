#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QWidget>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "selvik/browser_dialog.h"
#include "selvik/browser_view.h"
#include "selvik/link_sender.h"
#include "selvik/notices.h"
#include "tests/support/fakes.h"
#include "tests/support/spin.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace selvik::test {

using tarvane::test::RecordingStarter;
using tarvane::test::SpinUntil;

// A page view that records what the window asks of it; the test plays the page's part.
class FakeBrowserView : public BrowserView {
public:
    explicit FakeBrowserView(QWidget* parent) : BrowserView(parent), widget_(new QWidget(parent)) {}

    QWidget* Widget() override { return widget_; }
    void Navigate(const QString& address) override { calls << "navigate " + address; }
    void GoBack() override { calls << "back"; }
    void GoForward() override { calls << "forward"; }
    void Stop() override { calls << "stop"; }
    void Refresh() override { calls << "refresh"; }
    QString LocationUrl() const override { return location; }

    // A document finished loading with the top-level document at `at`.
    void Complete(const QString& at) {
        location = at;
        emit DocumentComplete();
    }

    QStringList calls;
    QString location;

private:
    QWidget* widget_;
};

struct RecordingSender : LinkSender {
    void Send(std::string encodedRecord) override { records.push_back(std::move(encodedRecord)); }
    std::vector<std::string> records;
};

struct RecordingNotices : Notices {
    void Show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// Sets environment variables for the life of the object, then puts the old values back.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);  // the first one
        setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// A browser window on a page view of type `View` and recording ports.
template <typename View>
struct TestBrowser {
    explicit TestBrowser(const std::string& startAddress, const std::string& executable = "/opt/games/selvik") {
        dialog = std::make_unique<BrowserDialog>(BrowserSetup{executable, startAddress},
                                                 BrowserPorts{starter, sender, notices},
                                                 [this](QWidget* parent) { return view = new View(parent); });
    }
    template <typename T>
    T* Child(const char* name) const {
        T* child = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    RecordingStarter starter;
    RecordingSender sender;
    RecordingNotices notices;
    View* view = nullptr;
    std::unique_ptr<BrowserDialog> dialog;
};
using FakeBrowser = TestBrowser<FakeBrowserView>;

}  // namespace selvik::test
