#pragma once

#include <QUrl>
#include <QWidget>

namespace tarvane {

// A web view that shows no script dialogs and keeps console messages to itself.
QWidget* CreateSilentWebPane(QWidget* parent);
void NavigateWebPane(QWidget* pane, const QUrl& url);

}  // namespace tarvane
