#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// Puts code page 936 text on the desktop clipboard. The owner only documents who wrote it; Qt
// needs none.
class ClipboardWriter : public Clipboard {
public:
    explicit ClipboardWriter(QWidget* owner = nullptr) : owner_(owner) {}
    bool PutText(const std::string& text) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tarvane
