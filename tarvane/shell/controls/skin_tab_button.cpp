#include "tarvane/shell/controls/skin_tab_button.h"

namespace tarvane {

CSkinTabButton::CSkinTabButton(QWidget* parent) : QAbstractButton(parent) {}

void CSkinTabButton::SetSkin(CButtonSkin* skin) {
    if (skin != nullptr) {
        skin_ = skin;
        dirty_ = true;
    }
}

void CSkinTabButton::SetTextFont(const QFont& font) {
    textFont_ = font;
    dirty_ = true;
}

void CSkinTabButton::SetTextColors(const std::array<QColor, kSkinStateCount>& colors) {
    textColors_ = colors;
    dirty_ = true;
}

void CSkinTabButton::SetToggled(bool toggled) {
    toggled_ = toggled;
}

int CSkinTabButton::CurrentState() const {
    return kStateNormal;
}

void CSkinTabButton::UpdateStrip() {}

QSize CSkinTabButton::sizeHint() const {
    return size();
}

void CSkinTabButton::paintEvent(QPaintEvent* /*event*/) {}
void CSkinTabButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
}
void CSkinTabButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
}
void CSkinTabButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
}
void CSkinTabButton::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractButton::mouseReleaseEvent(event);
}
void CSkinTabButton::SetMouseOver(bool over) {
    mouseOver_ = over;
}

}  // namespace tarvane
