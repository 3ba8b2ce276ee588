#include "desktop/routed_page.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineView>

namespace tarvane {

bool IsWebScheme(const QUrl& url) {
    static const QStringList kWeb = {"http", "https", "ftp", "file", "about", "data", "blob", "javascript", "qrc"};
    return kWeb.contains(url.scheme(), Qt::CaseInsensitive);
}

RoutedPage::RoutedPage(Routes routes, QObject* parent) : QWebEnginePage(parent), routes_(std::move(routes)) {
    // A request left unanswered opens nothing: that is the cancel.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        if (request.isUserInitiated() && TakeUserGesture() && routes_.newWindow) {
            routes_.newWindow(request.requestedUrl());
        }
    });
    // The view's input is seen before the web engine takes it, whichever child widget it goes to.
    QCoreApplication::instance()->installEventFilter(this);
}

bool RoutedPage::eventFilter(QObject* watched, QEvent* event) {
    bool input = event->type() == QEvent::MouseButtonPress;
    if (event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        input = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }
    if (input) {
        const QWebEngineView* view = QWebEngineView::forPage(this);
        // Parents, not isAncestorOf: the page's own menu is a window of its own.
        for (auto* widget = qobject_cast<QWidget*>(watched); widget != nullptr && view != nullptr;
             widget = widget->parentWidget()) {
            if (widget == view) {
                gesture_.start();
                break;
            }
        }
    }
    return QWebEnginePage::eventFilter(watched, event);
}

bool RoutedPage::TakeUserGesture() {
    // The engine answers a click asynchronously, but well within this.
    constexpr qint64 kGestureLifeMs = 5000;
    bool fresh = gesture_.isValid() && gesture_.elapsed() < kGestureLifeMs;
    gesture_.invalidate();
    return fresh;
}

bool RoutedPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!IsWebScheme(url)) {
        // Only a followed link reaches the desktop: a page cannot start programs by itself.
        if (routes_.toDesktop && type == NavigationTypeLinkClicked && TakeUserGesture()) {
            routes_.toDesktop(url);
        }
        return false;
    }
    bool followed = type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted;
    if (isMainFrame && followed && routes_.offPage &&
        url.adjusted(QUrl::RemoveFragment) != this->url().adjusted(QUrl::RemoveFragment)) {
        // A scripted click goes nowhere: the page stays.
        if (TakeUserGesture()) {
            routes_.offPage(url);
        }
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

}  // namespace tarvane
