#pragma once

#include <QFont>
#include <QRect>

namespace tarvane {

// The dialogs' font ("宋体" 9 points, whatever CJK font fontconfig picks for it).
QFont DialogTemplateFont();

// Dialog-template units to pixels: a quarter of the font's average character width across, an
// eighth of its height down, rounded like MulDiv.
class TemplateUnits {
public:
    explicit TemplateUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int left, int top, int width, int height) const;

private:
    int baseX_;
    int baseY_;
};

}  // namespace tarvane
