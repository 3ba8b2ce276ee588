#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "platform/process_start.h"
#include "platform/site_hosts.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace selvik {

class BrowserView;
class LinkSender;
class Notices;

struct BrowserSetup {
    std::string executablePath;  // selvik's own, started again for new windows and searches (936)
    std::string startAddress;    // the whole command line (936); empty opens the home page
    platform::SiteHosts hosts = platform::SiteHosts::FromEnvironment();
};

struct BrowserPorts {
    platform::ProcessStarter& starter;
    LinkSender& sender;
    Notices& notices;
};

// Makes the page view inside the window.
using BrowserViewFactory = std::function<BrowserView*(QWidget* parent)>;

// The game browser window: the portal in a page view, browsing buttons, an address box, a game search
// and "下载", which hands the address shown to tarvane. Starts on the start address.
class BrowserDialog : public QDialog {
    Q_OBJECT

public:
    BrowserDialog(BrowserSetup setup, BrowserPorts ports, const BrowserViewFactory& makeView,
                  QWidget* parent = nullptr);

    BrowserView& view() { return *view_; }
    void ShowAbout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* MakeButton(const char* name, const char* text);
    void PlaceOverWorkArea();
    void LayOut();
    void StartSelvik(const std::string& address);
    void OnGo();
    void OnHome();
    void OnSearch();
    void OnDownload();
    void OnDocumentComplete();

    BrowserSetup setup_;
    BrowserPorts ports_;
    BrowserView* view_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* go_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* home_ = nullptr;
    QPushButton* minigames_ = nullptr;
    QPushButton* searchGo_ = nullptr;
    bool framePlaced_ = false;
};

// Where the window's client area goes so that its frame, title bar included, lies on the work
// area's corner, as wide as the full screen and as high as the work area.
QRect ClientRectInWorkArea(const QRect& work, int fullScreenWidth, const QMargins& frame);

// The address box's text as the hand-off carries it (936). Characters that code page 936 cannot hold
// are sent percent-encoded instead of as "?", which would name another page.
std::string HandoffAddress(const QString& shown);

}  // namespace selvik
