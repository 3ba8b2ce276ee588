#include "tarvane/shell/controls/link_label.h"

#include <QCursor>

#include "tarvane/shell/controls/open_url.h"

namespace tarvane {

CLinkLabel::CLinkLabel(const QString& text, const QRect& geometry, int controlId, UrlLauncher& launcher,
                       QWidget* parent)
    : QLabel(text, parent), controlId_(controlId), launcher_(launcher), cursorSource_([] { return QCursor::pos(); }) {
    setGeometry(geometry);
}

CLinkLabel::~CLinkLabel() = default;

void CLinkLabel::SetLinkUrl(const QString& url) {
    url_ = url;
}
void CLinkLabel::SetLinkColors(const QColor& link, const QColor& visited, const QColor& hover) {
    linkColor_ = link;
    visitedColor_ = visited;
    hoverColor_ = hover;
}
void CLinkLabel::SetBackColor(const QColor& color) {
    backColor_ = color;
}
void CLinkLabel::SetVisited(bool visited) {
    isVisited_ = visited;
}
void CLinkLabel::SetUnderlineMode(int mode) {
    underlineMode_ = mode;
}
void CLinkLabel::SetLinkText(const QString& text) {
    setText(text);
}
void CLinkLabel::FitToText() {}
QColor CLinkLabel::TextColor() const {
    return linkColor_;
}
void CLinkLabel::CheckHover() {}
void CLinkLabel::SetCursorSource(std::function<QPoint()> source) {
    cursorSource_ = std::move(source);
}
void CLinkLabel::Click() {}
void CLinkLabel::StartHover() {}
void CLinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
}
void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
}
void CLinkLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
}
void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
}
void CLinkLabel::timerEvent(QTimerEvent* event) {
    QLabel::timerEvent(event);
}

}  // namespace tarvane
