#include "selvik/web_browser_view.h"

#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace selvik {

namespace {

class SilentPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
};

}  // namespace

WebBrowserView::WebBrowserView(QWidget* parent) : BrowserView(parent), view_(new QWebEngineView(parent)) {
    auto* page = new SilentPage(view_);
    view_->setPage(page);
    // A request left unanswered opens nothing: that is the cancel.
    connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        emit NewWindowRequested(request.requestedUrl().toString(QUrl::FullyEncoded));
    });
    connect(view_, &QWebEngineView::loadFinished, this, [this](bool) { emit DocumentComplete(); });
    connect(view_, &QWebEngineView::titleChanged, this, &BrowserView::TitleChanged);
    connect(page, &QWebEnginePage::linkHovered, this, &BrowserView::StatusTextChanged);
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
