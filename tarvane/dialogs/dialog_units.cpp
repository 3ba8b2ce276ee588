#include "tarvane/dialogs/dialog_units.h"

namespace tarvane {

namespace {

// Rounded like MulDiv.
int Scale(int value, int numerator, int denominator) {
    long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) / denominator);
}

}  // namespace

QFont DialogTemplateFont() {
    return QFont(QString::fromUtf8("宋体"), 9);
}

int DialogUnits::X(int units) const {
    return Scale(units, baseX_, 4);
}

int DialogUnits::Y(int units) const {
    return Scale(units, baseY_, 8);
}

QRect DialogUnits::Rect(int left, int top, int width, int height) const {
    return QRect(X(left), Y(top), X(width), Y(height));
}

}  // namespace tarvane
