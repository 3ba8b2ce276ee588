#include "selvik/browser_dialog.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "desktop/qt_text.h"
#include "platform/codepage.h"
#include "selvik/about_box.h"
#include "selvik/addresses.h"
#include "selvik/browser_view.h"
#include "selvik/link_delivery.h"
#include "selvik/link_sender.h"
#include "selvik/notices.h"

namespace selvik {

namespace {

using tarvane::AnsiText;
using tarvane::UiText;

int FullScreenWidth(const QWidget* widget) {
    const QScreen* screen = widget->screen() != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry().width() : widget->width();
}

}  // namespace

std::string HandoffAddress(const QString& shown) {
    bool lost = false;
    std::string utf8 = shown.toStdString();
    std::string ansi = platform::ConvertCodePage(platform::kUtf8CodePage, platform::kAnsiCodePage, utf8, &lost);
    if (!lost) {
        return ansi;
    }
    return QUrl(shown, QUrl::TolerantMode).toString(QUrl::FullyEncoded).toStdString();
}

BrowserDialog::BrowserDialog(BrowserSetup setup, BrowserPorts ports, const BrowserViewFactory& makeView,
                             QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), ports_(ports) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("glimra"));
    setWindowIcon(ProgramIcon());

    view_ = makeView(this);
    view_->Widget()->setObjectName(QStringLiteral("page"));
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("address"));
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("search"));
    status_ = new QLabel(QStringLiteral("status"), this);
    status_->setObjectName(QStringLiteral("status"));
    go_ = MakeButton("go", "转到");
    download_ = MakeButton("download", "下载");
    back_ = MakeButton("back", "后退");
    forward_ = MakeButton("forward", "前进");
    stop_ = MakeButton("stop", "停止");
    refresh_ = MakeButton("refresh", "刷新");
    home_ = MakeButton("home", "首页");
    minigames_ = MakeButton("minigames", "小游戏库");
    searchGo_ = MakeButton("searchGo", "搜游戏");
    // Enter in either edit navigates to the address, as with a default button anywhere in the window.
    go_->setDefault(true);
    for (QLineEdit* edit : {address_, search_}) {
        edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        edit->installEventFilter(this);
    }

    connect(go_, &QPushButton::clicked, this, &BrowserDialog::OnGo);
    connect(download_, &QPushButton::clicked, this, &BrowserDialog::OnDownload);
    connect(back_, &QPushButton::clicked, this, [this] { view_->GoBack(); });
    connect(forward_, &QPushButton::clicked, this, [this] { view_->GoForward(); });
    connect(stop_, &QPushButton::clicked, this, [this] { view_->Stop(); });
    connect(refresh_, &QPushButton::clicked, this, [this] { view_->Refresh(); });
    connect(home_, &QPushButton::clicked, this, &BrowserDialog::OnHome);
    connect(minigames_, &QPushButton::clicked, this, &BrowserDialog::OnHome);
    connect(searchGo_, &QPushButton::clicked, this, &BrowserDialog::OnSearch);

    connect(view_, &BrowserView::NewWindowRequested, this,
            [this](const QString& address) { StartSelvik(AnsiText(address)); });
    connect(view_, &BrowserView::DocumentComplete, this, &BrowserDialog::OnDocumentComplete);
    connect(view_, &BrowserView::TitleChanged, this,
            [this](const QString& title) { setWindowTitle(UiText(CaptionFor(AnsiText(title)))); });
    connect(view_, &BrowserView::StatusTextChanged, status_, &QLabel::setText);
    // "tarvane:" links and the like go to the desktop, which starts the program registered for them.
    connect(view_, &BrowserView::DesktopLinkClicked, this, [this](const QString& address) {
        if (!address.startsWith(QLatin1Char('-'))) {
            ports_.starter.Start("xdg-open", {address.toStdString()});
        }
    });

    // Said once the page's request has been answered, not inside it.
    connect(
        view_, &BrowserView::DownloadRefused, this,
        [this](bool wholePage) {
            ports_.notices.Show(platform::AnsiFromUtf8(
                wholePage ? "游戏选择端不保存网页：它只用来挑选游戏，不在磁盘上保存任何东西。"
                          : "游戏选择端不直接下载文件。要下载这个游戏，请在游戏页面上点击上方的“下载”按钮，"
                            "交给Quellora下载（可以断点续传）。"));
        },
        Qt::QueuedConnection);

    // Stands in for the About entry of the window menu, which a Linux window manager does not let a
    // program extend: F1, or a right click on the window's own background.
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &BrowserDialog::ShowAbout);

    PlaceOverWorkArea();
    LayOut();
    view_->Navigate(UiText(StartAddress(setup_.hosts, setup_.startAddress)));
}

QPushButton* BrowserDialog::MakeButton(const char* name, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QRect ClientRectInWorkArea(const QRect& work, int fullScreenWidth, const QMargins& frame) {
    return QRect(work.left() + frame.left(), work.top() + frame.top(), fullScreenWidth - frame.left() - frame.right(),
                 work.height() - frame.top() - frame.bottom());
}

void BrowserDialog::PlaceOverWorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // The frame is known only once the window manager has framed the shown window; until then the
    // window is placed as if it had none.
    QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    setGeometry(ClientRectInWorkArea(screen->availableGeometry(), FullScreenWidth(this), frame));
}

void BrowserDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (framePlaced_) {
        return;
    }
    // Looked at again while the window manager frames the window, then left to the user.
    for (int delay : {0, 200, 1000}) {
        QTimer::singleShot(delay, this, [this] {
            if (framePlaced_ || windowHandle() == nullptr || windowHandle()->frameMargins().isNull()) {
                return;
            }
            framePlaced_ = true;
            PlaceOverWorkArea();
            LayOut();
        });
    }
}

// Done once: the controls keep their places when the window is resized.
void BrowserDialog::LayOut() {
    const int w = width();
    const int h = height();
    view_->Widget()->setGeometry(0, 60, w, h - 80);
    status_->setGeometry(0, h - 20, FullScreenWidth(this), 20);
    back_->setGeometry(20, 15, 35, 30);
    forward_->setGeometry(60, 15, 35, 30);
    stop_->setGeometry(100, 15, 35, 30);
    refresh_->setGeometry(140, 15, 35, 30);
    home_->setGeometry(180, 15, 35, 30);
    minigames_->setGeometry(0, 0, 0, 0);
    address_->setGeometry(280, 15, 350, 30);
    go_->setGeometry(635, 15, 35, 30);
    download_->setGeometry(675, 15, 35, 30);
    search_->setGeometry(w - 285, 15, 200, 30);
    searchGo_->setGeometry(w - 80, 15, 65, 30);
}

void BrowserDialog::StartSelvik(const std::string& address) {
    // A failed start is silent.
    ports_.starter.Start(platform::Utf8FromAnsi(setup_.executablePath), {platform::Utf8FromAnsi(address)});
}

void BrowserDialog::OnGo() {
    view_->Stop();
    view_->Navigate(address_->text());
}

void BrowserDialog::OnHome() {
    view_->Navigate(UiText(HomeAddress(setup_.hosts)));
}

void BrowserDialog::OnSearch() {
    StartSelvik(SearchAddress(setup_.hosts, AnsiText(search_->text())));
}

void BrowserDialog::OnDownload() {
    auto record = HandoffRecordFor(HandoffAddress(address_->text()));
    if (!record) {
        ports_.notices.Show(platform::AnsiFromUtf8("这个地址太长（超过259个字节），无法交给Quellora下载。"));
        return;
    }
    ports_.sender.Send(std::move(*record));
}

void BrowserDialog::OnDocumentComplete() {
    QString location = view_->LocationUrl();
    if (ShowsInAddressBox(location.toStdString())) {
        address_->setText(location);
    }
}

void BrowserDialog::ShowAbout() {
    AboutBox box(this);
    box.exec();
}

bool BrowserDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit != nullptr && (edit == address_ || edit == search_)) {
        bool rightRelease = event->type() == QEvent::MouseButtonRelease &&
                            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        // The edit's own menu opens on the press on X11, before the release arrives.
        bool mouseMenu = event->type() == QEvent::ContextMenu &&
                         static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse;
        if (rightRelease || mouseMenu) {
            edit->selectAll();
            edit->setFocus(Qt::MouseFocusReason);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BrowserDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromUtf8("关于 glimra(&A)..."), this, &BrowserDialog::ShowAbout);
    menu.exec(event->globalPos());
}

}  // namespace selvik
