#include "tarvane/shell/controls/open_url.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/process_start.h"

namespace tarvane {

bool DesktopUrlLauncher::Launch(const QString& url, bool /*newWindow*/) {
    // Neither the portal nor xdg-open can ask for a new window; the browser decides.
    if (QDesktopServices::openUrl(QUrl::fromUserInput(url))) {
        return true;
    }
    return platform::StartDetached("xdg-open", {url.toStdString()});
}

int OpenUrl(const QString& url, bool openInNewWindow, UrlLauncher& launcher) {
    if (url.trimmed().isEmpty() || url.startsWith(QLatin1Char('-'))) {
        return kOpenUrlFailed;
    }
    return launcher.Launch(url, openInNewWindow) ? kOpenUrlSucceeded : kOpenUrlFailed;
}

}  // namespace tarvane
