#include "selvik/web_browser_view.h"

#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "desktop/routed_page.h"

namespace selvik {

WebBrowserView::WebBrowserView(QWidget* parent) : BrowserView(parent), view_(new QWebEngineView(parent)) {
    auto encoded = [](const QUrl& url) { return url.toString(QUrl::FullyEncoded); };
    tarvane::RoutedPage::Routes routes;
    routes.toDesktop = [this, encoded](const QUrl& url) { emit DesktopLinkClicked(encoded(url)); };
    routes.newWindow = [this, encoded](const QUrl& url) { emit NewWindowRequested(encoded(url)); };
    auto* page = new tarvane::RoutedPage(routes, view_);
    view_->setPage(page);
    connect(view_, &QWebEngineView::loadFinished, this, [this](bool) { emit DocumentComplete(); });
    connect(view_, &QWebEngineView::titleChanged, this, &BrowserView::TitleChanged);
    connect(page, &QWebEnginePage::linkHovered, this, &BrowserView::StatusTextChanged);
    // Downloads are tarvane's: this program keeps nothing on disk.
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this,
            [this, page](QWebEngineDownloadRequest* asked) {
                if (asked->page() == page) {
                    asked->cancel();
                    emit DownloadRefused(asked->isSavePageDownload());
                }
            });
}

QWidget* WebBrowserView::Widget() {
    return view_;
}

void WebBrowserView::Navigate(const QString& address) {
    view_->load(QUrl::fromUserInput(address));
}

void WebBrowserView::GoBack() {
    view_->back();
}

void WebBrowserView::GoForward() {
    view_->forward();
}

void WebBrowserView::Stop() {
    view_->stop();
}

void WebBrowserView::Refresh() {
    view_->reload();
}

QString WebBrowserView::LocationUrl() const {
    return view_->url().toString();
}

}  // namespace selvik
