#include "tarvane/shell/web_pane.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace tarvane {

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

QWidget* CreateSilentWebPane(QWidget* parent) {
    auto* view = new QWebEngineView(parent);
    view->setPage(new SilentPage(view));
    view->setContextMenuPolicy(Qt::NoContextMenu);
    return view;
}

void NavigateWebPane(QWidget* pane, const QUrl& url) {
    if (auto* view = qobject_cast<QWebEngineView*>(pane)) {
        view->load(url);
    }
}

}  // namespace tarvane
