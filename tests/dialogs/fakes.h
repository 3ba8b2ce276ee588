#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/process_start.h"
#include "tarvane/dialogs/delete_confirm_dialog.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane::test {

struct ShownMessage {
    std::string text;
    std::string caption;
};

class FakeMessages : public MessageBoxes {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons) override {
        shown.push_back({text, caption});
        return MessageAnswer::Ok;
    }
    std::vector<ShownMessage> shown;
};

class FakeFolderPicker : public FolderPicker {
public:
    std::optional<std::string> PickFolder(const std::string& title, QWidget*) override {
        titles.push_back(title);
        return answer;
    }
    std::optional<std::string> answer;
    std::vector<std::string> titles;
};

struct StartedProgram {
    std::string program;
    std::vector<std::string> arguments;
};

class FakeStarter : public platform::ProcessStarter {
public:
    bool Start(const std::string& program, const std::vector<std::string>& arguments) override {
        started.push_back({program, arguments});
        return true;
    }
    std::vector<StartedProgram> started;
};

class FakeDesktop : public Desktop {
public:
    void ShowFileInFolder(const std::string& file) override { shownFiles.push_back(file); }
    void OpenFolder(const std::string& folder) override { openedFolders.push_back(folder); }
    void OpenWebPage(const std::string& url) override { webPages.push_back(url); }
    std::vector<std::string> shownFiles;
    std::vector<std::string> openedFolders;
    std::vector<std::string> webPages;
};

class FakeClipboard : public Clipboard {
public:
    bool PutText(const std::string& text) override {
        texts.push_back(text);
        return true;
    }
    std::vector<std::string> texts;
};

class FakeConfirmation : public DeleteConfirmation {
public:
    int Ask(QWidget*) override {
        ++asked;
        return answer;
    }
    int answer = kDeleteCancel;
    int asked = 0;
};

// Once a modal dialog of type T runs (checked every 10 ms, at most 100 times), hands it to `act`.
template <typename T>
void WhenModal(std::function<void(T*)> act, int attempts = 100) {
    QTimer::singleShot(10, [act, attempts] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (attempts > 1) {
            WhenModal<T>(act, attempts - 1);
        }
    });
}

}  // namespace tarvane::test
