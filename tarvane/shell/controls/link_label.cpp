#include "tarvane/shell/controls/link_label.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include "tarvane/shell/controls/open_url.h"

namespace tarvane {

CLinkLabel::CLinkLabel(const QString& text, const QRect& geometry, int controlId, UrlLauncher& launcher,
                       QWidget* parent)
    : QLabel(text, parent), controlId_(controlId), launcher_(launcher), cursorSource_([] { return QCursor::pos(); }) {
    // A plain static control lays its text out from the top left.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setGeometry(geometry);
    setMouseTracking(true);
    url_ = text;
    plainFont_ = font();
    underlineFont_ = plainFont_;
    underlineFont_.setUnderline(true);
    setFont(plainFont_);
    FitToText();
    setCursor(Qt::PointingHandCursor);
    if (showTooltip) {
        setToolTip(url_);
    }
}

CLinkLabel::~CLinkLabel() {
    if (timerId_ != 0) {
        killTimer(timerId_);
    }
}

void CLinkLabel::SetLinkUrl(const QString& url) {
    url_ = url;
    // A label laid out without text shows its address.
    if (text().isEmpty()) {
        setText(url_);
    }
    FitToText();
    if (showTooltip) {
        setToolTip(url_);
    }
}

void CLinkLabel::SetLinkColors(const QColor& link, const QColor& visited, const QColor& hover) {
    linkColor_ = link;
    visitedColor_ = visited;
    hoverColor_ = hover.isValid() ? hover : palette().color(QPalette::Highlight);
    update();
}

void CLinkLabel::SetBackColor(const QColor& color) {
    backColor_ = color;
    update();
}

void CLinkLabel::SetVisited(bool visited) {
    isVisited_ = visited;
    update();
}

void CLinkLabel::SetUnderlineMode(int mode) {
    if (mode == underlineMode_) {
        return;
    }
    setFont(mode == 1 ? underlineFont_ : plainFont_);
    update();
    underlineMode_ = mode;
}

void CLinkLabel::SetLinkText(const QString& text) {
    if (text.isNull()) {
        return;
    }
    setText(text);
    FitToText();
}

void CLinkLabel::FitToText() {
    if (!fitToText) {
        return;
    }
    const QSize textSize = QFontMetrics(underlineFont_).size(Qt::TextSingleLine, text());
    const QSize frame = size() - contentsRect().size();
    const QSize outer = textSize + frame;
    const QRect old = geometry();
    QRect fitted(old.topLeft(), outer);
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        fitted.moveTop(old.top() + (old.height() - outer.height()) / 2);
    }
    if (align & Qt::AlignHCenter) {
        fitted.moveLeft(old.left() + (old.width() - outer.width()) / 2);
    } else if (align & Qt::AlignRight) {
        fitted.moveLeft(old.left() + old.width() - outer.width());
    }
    setGeometry(fitted);
}

QColor CLinkLabel::TextColor() const {
    if (isOver_) {
        return hoverColor_;
    }
    return isVisited_ ? visitedColor_ : linkColor_;
}

void CLinkLabel::SetCursorSource(std::function<QPoint()> source) {
    cursorSource_ = std::move(source);
}

void CLinkLabel::StartHover() {
    if (isOver_) {
        return;
    }
    isOver_ = true;
    if (underlineMode_ == -1) {
        setFont(underlineFont_);
    }
    update();
    // The leave is found by polling: a fast exit may leave no move event inside the label.
    if (timerId_ == 0) {
        timerId_ = startTimer(kHoverCheckMs);
    }
}

void CLinkLabel::CheckHover() {
    if (rect().contains(mapFromGlobal(cursorSource_()))) {
        return;
    }
    isOver_ = false;
    if (timerId_ != 0) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    if (underlineMode_ != 1) {
        setFont(plainFont_);
    }
    update();
}

void CLinkLabel::Click() {
    isOver_ = false;
    const int result = openUrlOnClick ? OpenUrl(url_, openInNewWindow, launcher_) : kOpenUrlSucceeded;
    isVisited_ = OpenUrlSucceeded(result);
    if (isVisited_) {
        SetVisited(true);
    } else {
        QApplication::beep();
        update();
    }
    if (notifyParent && parentWidget() != nullptr) {
        emit linkLabelClicked(controlId_);
    }
}

void CLinkLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (backColor_.isValid()) {
        painter.fillRect(rect(), backColor_);
    }
    painter.setFont(font());
    painter.setPen(TextColor());
    painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
    StartHover();
    event->accept();
}

void CLinkLabel::mousePressEvent(QMouseEvent* event) {
    // Accepted so that a press on the label never reaches the window behind (which drags on a press).
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) {
        Click();
    }
}

void CLinkLabel::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_) {
        CheckHover();
        return;
    }
    QLabel::timerEvent(event);
}

}  // namespace tarvane
