#include "desktop/routed_page.h"

#include <QWebEngineNewWindowRequest>

namespace tarvane {

bool IsWebScheme(const QUrl& url) {
    static const QStringList kWeb = {"http", "https", "ftp", "file", "about", "data", "blob", "javascript", "qrc"};
    return kWeb.contains(url.scheme(), Qt::CaseInsensitive);
}

RoutedPage::RoutedPage(Routes routes, QObject* parent) : QWebEnginePage(parent), routes_(std::move(routes)) {
    // A request left unanswered opens nothing: that is the cancel.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        if (routes_.newWindow) {
            routes_.newWindow(request.requestedUrl());
        }
    });
}

bool RoutedPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!IsWebScheme(url)) {
        // Only a followed link reaches the desktop: a page cannot start programs by itself.
        if (routes_.toDesktop && type == NavigationTypeLinkClicked) {
            routes_.toDesktop(url);
        }
        return false;
    }
    bool followed = type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted;
    if (isMainFrame && followed && routes_.offPage &&
        url.adjusted(QUrl::RemoveFragment) != this->url().adjusted(QUrl::RemoveFragment)) {
        routes_.offPage(url);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

}  // namespace tarvane
