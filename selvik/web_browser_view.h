#pragma once

#include "selvik/browser_view.h"

class QWebEngineView;

namespace selvik {

// The page view on Qt WebEngine. Silent: pages show no script dialogs.
class WebBrowserView : public BrowserView {
    Q_OBJECT

public:
    explicit WebBrowserView(QWidget* parent);

    QWidget* Widget() override;
    void Navigate(const QString& address) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    QString LocationUrl() const override;

private:
    QWebEngineView* view_;
};

}  // namespace selvik
