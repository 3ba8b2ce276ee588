#pragma once

#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
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

// A page view that records what the window asks of it; the test plays the page's part.
class FakeBrowserView : public BrowserView {
public:
    explicit FakeBrowserView(QWidget* parent) : BrowserView(parent), widget_(new QWidget(parent)) {}

    QWidget* Widget() override { return widget_; }
    void Navigate(const QString& address) override { calls.push_back("navigate " + address); }
    void GoBack() override { calls.push_back("back"); }
    void GoForward() override { calls.push_back("forward"); }
    void Stop() override { calls.push_back("stop"); }
    void Refresh() override { calls.push_back("refresh"); }
    QString LocationUrl() const override { return location; }

    // A document finished loading with the top-level document at `at`.
    void Complete(const QString& at) {
        location = at;
        emit DocumentComplete();
    }

    std::vector<QString> calls;
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
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    void Set(const std::string& name, const std::string& value);

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

using tarvane::test::SpinUntil;

// A browser window on a page view of type `View` and recording ports.
template <typename View>
struct TestBrowser {
    explicit TestBrowser(const std::string& startAddress, const std::string& executable = "/opt/games/selvik") {
        dialog = std::make_unique<BrowserDialog>(BrowserSetup{executable, startAddress},
                                                 BrowserPorts{starter, sender, notices}, [this](QWidget* parent) {
                                                     view = new View(parent);
                                                     return view;
                                                 });
    }

    RecordingStarter starter;
    RecordingSender sender;
    RecordingNotices notices;
    View* view = nullptr;
    std::unique_ptr<BrowserDialog> dialog;
};
using FakeBrowser = TestBrowser<FakeBrowserView>;

}  // namespace selvik::test
