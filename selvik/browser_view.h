#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace selvik {

// The page view of the browser window: the calls the window makes on it and the events it reports.
class BrowserView : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QWidget* Widget() = 0;
    virtual void Navigate(const QString& address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Stop() = 0;
    virtual void Refresh() = 0;
    // The address of the top-level document.
    virtual QString LocationUrl() const = 0;

signals:
    // A page asks for a new window; the view opens none.
    void NewWindowRequested(const QString& address);
    // A document has finished loading.
    void DocumentComplete();
    void TitleChanged(const QString& title);
    void StatusTextChanged(const QString& text);
    // A followed link of a scheme the view does not show (such as "tarvane:"), fully encoded.
    void DesktopLinkClicked(const QString& address);
    // A file link or the page's own "save page" asked for a download, which the view refused.
    void DownloadRefused(bool wholePage);
};

}  // namespace selvik
