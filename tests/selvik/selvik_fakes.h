#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "selvik/browser_dialog.h"
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

struct RecordingSender : LinkSender {
    void Send(std::string encodedRecord) override { records.push_back(std::move(encodedRecord)); }
    std::vector<std::string> records;
};

struct RecordingNotices : Notices {
    void Show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
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
        return dialog->findChild<T*>(name);
    }

    RecordingStarter starter;
    RecordingSender sender;
    RecordingNotices notices;
    View* view = nullptr;
    std::unique_ptr<BrowserDialog> dialog;
};

}  // namespace selvik::test
