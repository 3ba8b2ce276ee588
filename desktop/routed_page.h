#pragma once

#include <QElapsedTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <functional>

namespace tarvane {

// A silent web page (no script dialogs, no console output) that decides where a link goes. Only a
// user's click or key in the page's view sends anything elsewhere, and each sends at most once: a
// page's scripts open no windows and start no programs.
class RoutedPage : public QWebEnginePage {
public:
    struct Routes {
        // Links of a scheme the web engine does not show itself (such as "tarvane:"): the desktop's
        // handler takes them. Unset: they are dropped.
        std::function<void(const QUrl&)> toDesktop;
        // Followed links that leave the page shown: another window takes them and this page stays.
        // Unset: they load here.
        std::function<void(const QUrl&)> offPage;
        // Requests for a new window made by the user, which this page never opens itself. Unset:
        // nothing opens.
        std::function<void(const QUrl&)> newWindow;
    };

    RoutedPage(Routes routes, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether a click or key of the user in this page's view has sent nothing on yet; uses it up.
    bool TakeUserGesture();

    Routes routes_;
    QElapsedTimer gesture_;
};

// Whether the web engine shows pages of this address's scheme itself.
bool IsWebScheme(const QUrl& url);

}  // namespace tarvane
