#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tarvane/dialogs/delete_confirm_dialog.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/dialogs/password_prompt.h"
#include "tests/support/fakes.h"

namespace tarvane::test {

class FakeFolderPicker : public FolderPicker {
public:
    std::optional<std::string> PickFolder(const std::string& title, QWidget*) override {
        titles.push_back(title);
        return answer;
    }
    std::optional<std::string> answer;
    std::vector<std::string> titles;
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

class FakePasswordPrompt : public PasswordPrompt {
public:
    std::optional<std::string> AskPassword(const std::string& label, const std::string&, QWidget*) override {
        labels.push_back(label);
        if (answers.empty()) {
            return std::nullopt;
        }
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<std::string> answers;
    std::vector<std::string> labels;
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
