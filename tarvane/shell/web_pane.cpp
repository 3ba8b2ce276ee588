#include "tarvane/shell/web_pane.h"

#include <QWebEngineView>

#include "desktop/routed_page.h"

namespace tarvane {

QWidget* CreateSilentWebPane(QWidget* parent, const WebPaneRoutes& routes) {
    auto* view = new QWebEngineView(parent);
    view->setPage(new RoutedPage({routes.toDesktop, routes.elsewhere, routes.elsewhere}, view));
    view->setContextMenuPolicy(Qt::NoContextMenu);
    return view;
}

void NavigateWebPane(QWidget* pane, const QUrl& url) {
    if (auto* view = qobject_cast<QWebEngineView*>(pane)) {
        view->load(url);
    }
}

}  // namespace tarvane
