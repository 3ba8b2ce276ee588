#include "tarvane/shell/controls/skin_tab_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "tarvane/shell/controls/nine_slice.h"

namespace tarvane {

CSkinTabButton::CSkinTabButton(QWidget* parent) : QAbstractButton(parent) {
    textFont_.setFamily(QStringLiteral("Tahoma"));
    textFont_.setPixelSize(16);
    textFont_.setWeight(QFont::Bold);
    textColors_ = {QColor(64, 64, 64), QColor(Qt::black), QColor(Qt::black), QColor(Qt::black), QColor(Qt::black)};
    setMouseTracking(true);
}

void CSkinTabButton::SetSkin(CButtonSkin* skin) {
    if (skin == nullptr) {
        return;
    }
    skin_ = skin;
    dirty_ = true;
    update();
}

void CSkinTabButton::SetTextFont(const QFont& font) {
    textFont_ = font;
    dirty_ = true;
    update();
}

void CSkinTabButton::SetTextColors(const std::array<QColor, kSkinStateCount>& colors) {
    textColors_ = colors;
    dirty_ = true;
    update();
}

void CSkinTabButton::SetToggled(bool toggled) {
    toggled_ = toggled;
    update();
}

int CSkinTabButton::CurrentState() const {
    if (!isEnabled()) {
        return kStateDisabled;
    }
    if (isDown()) {
        return kStatePressed;
    }
    if (toggled_) {
        return kStateToggled;
    }
    return hoverTracking && mouseOver_ ? kStateHover : kStateNormal;
}

void CSkinTabButton::UpdateStrip() {
    const QRect item = rect();
    bool repaint = false;
    if (item != stripRect_ || dirty_) {
        strip_ = QImage(item.width(), kSkinStateCount * item.height(), QImage::Format_RGB32);
        // An empty rectangle makes the next draw try again.
        stripRect_ = strip_.isNull() ? QRect() : item;
        dirty_ = false;
        repaint = true;
    }
    if (text() != cachedText_) {
        cachedText_ = text();
        repaint = true;
    }
    if (!repaint || strip_.isNull()) {
        return;
    }
    const int H = item.height();
    strip_.fill(palette().color(QPalette::Button));
    if (skin_ != nullptr) {
        const QImage& skinImage = skin_->GetSkinBitmap();
        NineSliceInto(strip_, H, skinImage, skin_->halfSize());
    }
    QPainter painter(&strip_);
    painter.setFont(textFont_);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (int s = 0; s < kSkinStateCount; ++s) {
        painter.setPen(textColors_[s]);
        painter.drawText(item.translated(0, s * H), Qt::AlignCenter | Qt::TextSingleLine, cachedText_);
    }
}

QSize CSkinTabButton::sizeHint() const {
    const QFontMetrics metrics(textFont_);
    return {metrics.horizontalAdvance(text()) + 16, metrics.height() + 8};
}

void CSkinTabButton::paintEvent(QPaintEvent* /*event*/) {
    UpdateStrip();
    if (strip_.isNull()) {
        return;
    }
    const int H = stripRect_.height();
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), strip_, QRect(0, CurrentState() * H, stripRect_.width(), H));
}

void CSkinTabButton::SetMouseOver(bool over) {
    if (over == mouseOver_) {
        return;
    }
    mouseOver_ = over;
    if (hoverTracking) {
        update();
    }
}

void CSkinTabButton::enterEvent(QEnterEvent* event) {
    SetMouseOver(true);
    QAbstractButton::enterEvent(event);
}

void CSkinTabButton::leaveEvent(QEvent* event) {
    SetMouseOver(false);
    QAbstractButton::leaveEvent(event);
}

void CSkinTabButton::mouseMoveEvent(QMouseEvent* event) {
    SetMouseOver(rect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinTabButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (toggleOnClick) {
            toggled_ = !toggled_;
        }
        if (latchOnClick) {
            toggled_ = true;
        }
    }
    QAbstractButton::mouseReleaseEvent(event);
}

}  // namespace tarvane
