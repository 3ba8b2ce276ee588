#pragma once

#include <QFont>
#include <QRect>

namespace tarvane {

// The dialogs' font ("宋体" 9 points, whatever CJK font fontconfig picks for it).
QFont DialogTemplateFont();

// Dialog units to pixels the way dialog templates are laid out: a quarter of the base width across,
// an eighth of the base height down. The base units are those of the font the layouts were drawn for
// ("宋体" 9 points at 96 dpi: 6 x 12), not of whatever font stands in for it here, so every window
// keeps the size of its pictures (the main window 983 x 611). Qt scales these device-independent
// pixels by the screen's device pixel ratio.
class DialogUnits {
public:
    DialogUnits() = default;
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int left, int top, int width, int height) const;
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

private:
    int baseX_ = 6;
    int baseY_ = 12;
};

}  // namespace tarvane
