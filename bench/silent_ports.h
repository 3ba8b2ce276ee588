#pragma once

#include <string>

#include "tarvane/engine/desktop_ports.h"

namespace bench {

// The desktop of a benchmark: nothing to show, nothing to play.
struct SilentPorts : tarvane::SoundPlayer, tarvane::MessageBoxes, tarvane::Clipboard, tarvane::Desktop {
    void PlayCompletionSound() override {}
    tarvane::MessageAnswer Show(const std::string&, const std::string&, tarvane::MessageButtons) override {
        return tarvane::MessageAnswer::Ok;
    }
    bool PutText(const std::string&) override { return true; }
    void ShowFileInFolder(const std::string&) override {}
    void OpenFolder(const std::string&) override {}
    void OpenWebPage(const std::string&) override {}
};

}  // namespace bench
