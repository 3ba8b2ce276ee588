#pragma once

#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace tarvane {

// Asks the user for a folder; tests answer in its place.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The chosen folder as code page 936 text, or nothing when the user cancelled. Blocks until the
    // dialog ends while the caller's windows keep being served.
    virtual std::optional<std::string> PickFolder(const std::string& title, QWidget* owner) = 0;
};

// Makes a file dialog the folder picker: folders only, their type and dates in Chinese.
void SetUpFolderDialog(QFileDialog& dialog);

// A modal Qt folder dialog.
class QtFolderPicker : public FolderPicker {
public:
    std::optional<std::string> PickFolder(const std::string& title, QWidget* owner) override;
};

}  // namespace tarvane
