#pragma once

#include <string>

#include "platform/process_start.h"
#include "platform/site_hosts.h"
#include "tarvane/engine/desktop_ports.h"

namespace tarvane {

// The programs and pages the main window opens: the updater, the official site, the game browser.
class ShellActions {
public:
    ShellActions(std::string programDirectory, platform::SiteHosts hosts, platform::ProcessStarter& starter,
                 MessageBoxes& messages, Desktop& desktop)
        : programDirectory_(std::move(programDirectory)),
          hosts_(std::move(hosts)),
          starter_(starter),
          messages_(messages),
          desktop_(desktop) {}

    // Starts the updater from the program directory; when it is missing, says so and opens the
    // official site instead.
    void LaunchUpdater();
    // The official site's root page in the desktop's browser.
    void OpenOfficialSite();
    // Starts selvik from the program directory on `address` (code page 936).
    void OpenInGameBrowser(const std::string& address);

    // "http://" + the site's host + path.
    std::string OfficialPage(const std::string& path) const { return "http://" + hosts_.official + path; }
    std::string PortalPage(const std::string& path) const { return "http://" + hosts_.portal + path; }

private:
    std::string programDirectory_;
    platform::SiteHosts hosts_;
    platform::ProcessStarter& starter_;
    MessageBoxes& messages_;
    Desktop& desktop_;
};

}  // namespace tarvane
