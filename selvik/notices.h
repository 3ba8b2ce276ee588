#pragma once

#include <string>

class QWidget;

namespace selvik {

// Messages to the user, so tests can see them.
class Notices {
public:
    virtual ~Notices() = default;
    // `text` is code page 936.
    virtual void Show(const std::string& text) = 0;
};

// A message box with the caption "Quellora" and an OK button.
class MessageBoxNotices : public Notices {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void Show(const std::string& text) override;

private:
    QWidget* owner_ = nullptr;
};

}  // namespace selvik
