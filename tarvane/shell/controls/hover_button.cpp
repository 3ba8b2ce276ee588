#include "tarvane/shell/controls/hover_button.h"

#include <QEnterEvent>
#include <QPainter>

namespace tarvane {

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {}

bool CHoverButton::LoadStateBitmap(const QString& path) {
    return LoadStateBitmap(QPixmap(path));
}

bool CHoverButton::LoadStateBitmap(const QPixmap& strip) {
    if (strip.isNull() || strip.width() < 3) {
        return false;
    }
    stateBitmap_ = strip;
    imageWidth_ = strip.width() / 3;
    imageHeight_ = strip.height();
    resize(imageWidth_, imageHeight_);
    updateGeometry();
    update();
    return true;
}

int CHoverButton::SourceX() const {
    if (!isEnabled()) {
        return 0;
    }
    if (isDown()) {
        return imageWidth_;
    }
    return hover_ ? 2 * imageWidth_ : 0;
}

QSize CHoverButton::sizeHint() const {
    return {imageWidth_, imageHeight_};
}

void CHoverButton::paintEvent(QPaintEvent* /*event*/) {
    if (stateBitmap_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, stateBitmap_, SourceX(), 0, imageWidth_, imageHeight_);
}

void CHoverButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CHoverButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        update();
    }
    QAbstractButton::changeEvent(event);
}

}  // namespace tarvane
