#pragma once

#include <QPointer>
#include <QWidget>
#include <mutex>

#include "platform/process_start.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// Message boxes over the main window (code page 936 text shown as UTF-8).
class QtMessageBoxes : public MessageBoxes {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons buttons) override;
    MessageAnswer Warn(const std::string& text, const std::string& caption) override;

private:
    MessageAnswer Run(const std::string& text, const std::string& caption, MessageButtons buttons, bool warning);

    QPointer<QWidget> owner_;
};

class QtClipboard : public Clipboard {
public:
    bool PutText(const std::string& text) override;
};

// The file manager through org.freedesktop.FileManager1, else the folder through xdg-open; web
// pages through xdg-open. Programs are started through `starter`.
class XdgDesktop : public Desktop {
public:
    explicit XdgDesktop(platform::ProcessStarter& starter) : starter_(starter) {}
    void ShowFileInFolder(const std::string& file) override;
    void OpenFolder(const std::string& folder) override;
    void OpenWebPage(const std::string& url) override;

private:
    platform::ProcessStarter& starter_;
};

// The completion sound through libcanberra: the file relative to the current folder, else the
// sound theme's "complete" event.
class CanberraSound : public SoundPlayer {
public:
    CanberraSound() = default;
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;
    void PlayCompletionSound() override;

private:
    std::mutex mutex_;
    void* context_ = nullptr;  // ca_context*
};

}  // namespace tarvane
