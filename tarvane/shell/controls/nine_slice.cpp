#include "tarvane/shell/controls/nine_slice.h"

#include <QPainter>
#include <algorithm>

namespace tarvane {

int NineSliceCorner(int halfSize, int width, int height) {
    return std::min(halfSize, std::min(width, height) / 2);
}

void NineSliceInto(QImage& strip, int rowHeight, const QImage& skin, int halfSize) {
    (void)strip;
    (void)rowHeight;
    (void)skin;
    (void)halfSize;
}

}  // namespace tarvane
