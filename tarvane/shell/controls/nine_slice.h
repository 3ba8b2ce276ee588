#pragma once

#include <QImage>

namespace tarvane {

// Corner size used when a (2N+1)-square skin cell is stretched over a width x height button.
int NineSliceCorner(int halfSize, int width, int height);

// Stretches every state cell of `skin` (cells of 2N+1 stacked vertically) over its row of
// `strip` (rows of `rowHeight`, as wide as the strip): corners stay unscaled down to half the
// button's smaller side, edges and centre stretch.
void NineSliceInto(QImage& strip, int rowHeight, const QImage& skin, int halfSize);

}  // namespace tarvane
