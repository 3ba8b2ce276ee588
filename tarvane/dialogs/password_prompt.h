#pragma once

#include <optional>
#include <string>

class QWidget;

namespace tarvane {

// Asks the user for an archive's password; tests answer in its place.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    // The password as code page 936 text, or nothing when the user cancelled. `label` says why it
    // is asked (a wrong one before, or none given yet).
    virtual std::optional<std::string> AskPassword(const std::string& label, const std::string& caption,
                                                   QWidget* owner) = 0;
};

// A small modal dialog whose field hides what is typed.
class QtPasswordPrompt : public PasswordPrompt {
public:
    std::optional<std::string> AskPassword(const std::string& label, const std::string& caption,
                                           QWidget* owner) override;
};

}  // namespace tarvane
