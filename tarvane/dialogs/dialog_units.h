#pragma once

#include <QFont>
#include <QRect>

namespace tarvane {

// The dialogs' font ("宋体" 9 points, whatever CJK font fontconfig picks for it).
QFont DialogTemplateFont();

// Dialog units to pixels the way dialog templates are laid out: a quarter of the font's average
// character width across, an eighth of its height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int left, int top, int width, int height) const;
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};

}  // namespace tarvane
