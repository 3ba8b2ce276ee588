#pragma once

#include <string>

#include "platform/process_start.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// The programs and pages the main window opens: the updater, the official site, the game browser.
class ShellActions {
public:
    ShellActions(std::string programDirectory, platform::ProcessStarter& starter, MessageBoxes& messages,
                 Desktop& desktop)
        : programDirectory_(std::move(programDirectory)), starter_(starter), messages_(messages), desktop_(desktop) {}

    // Starts the updater from the program directory; when it is missing, says so and opens the
    // official site instead.
    void LaunchUpdater();
    // The official site's root page in the desktop's browser.
    void OpenOfficialSite();
    // Starts selvik from the program directory on `address` (code page 936).
    void OpenInGameBrowser(const std::string& address);

private:
    std::string programDirectory_;
    platform::ProcessStarter& starter_;
    MessageBoxes& messages_;
    Desktop& desktop_;
};

// "http://" + the site's host + path.
std::string OfficialPage(const std::string& path);
std::string PortalPage(const std::string& path);

}  // namespace tarvane
