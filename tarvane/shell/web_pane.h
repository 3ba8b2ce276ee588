#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

namespace tarvane {

struct WebPaneRoutes {
    // Links the desktop handles (scheme links such as "tarvane:").
    std::function<void(const QUrl&)> toDesktop;
    // New-window requests and followed links that leave the pane's page: the pane keeps its page.
    std::function<void(const QUrl&)> elsewhere;
};

// A web view that shows no script dialogs, keeps console messages to itself and keeps its one page.
QWidget* CreateSilentWebPane(QWidget* parent, const WebPaneRoutes& routes);
void NavigateWebPane(QWidget* pane, const QUrl& url);

}  // namespace tarvane
