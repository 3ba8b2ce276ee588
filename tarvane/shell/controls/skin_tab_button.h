#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QImage>
#include <array>

#include "tarvane/shell/controls/button_skin.h"

namespace tarvane {

// A tab button drawn from a CButtonSkin: the skin is nine-sliced to the button's size and the
// caption written over it once per state into a cached strip; painting copies one row.
class CSkinTabButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CSkinTabButton(QWidget* parent = nullptr);

    // The skin is not owned and must outlive the button. A null skin is ignored.
    void SetSkin(CButtonSkin* skin);
    CButtonSkin* skin() const { return skin_; }

    QFont GetTextFont() const { return textFont_; }
    void SetTextFont(const QFont& font);

    std::array<QColor, kSkinStateCount> GetTextColors() const { return textColors_; }
    void SetTextColors(const std::array<QColor, kSkinStateCount>& colors);

    bool hoverTracking = false;
    bool toggleOnClick = false;
    bool latchOnClick = false;

    bool IsToggled() const { return toggled_; }
    void SetToggled(bool toggled);
    bool mouseOver() const { return mouseOver_; }

    // The state row shown now: hover (with tracking) or normal, overridden by disabled, then
    // pressed, then toggled.
    int CurrentState() const;

    // Brings the strip up to date for the current size, skin, font, colours and caption.
    void UpdateStrip();
    const QImage& strip() const { return strip_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetMouseOver(bool over);

    CButtonSkin* skin_ = nullptr;
    QFont textFont_;
    std::array<QColor, kSkinStateCount> textColors_;
    QRect stripRect_;
    QImage strip_;
    QString cachedText_;
    bool toggled_ = false;
    bool mouseOver_ = false;
    bool dirty_ = false;
};

}  // namespace tarvane
