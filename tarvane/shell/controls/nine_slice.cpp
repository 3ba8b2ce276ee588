#include "tarvane/shell/controls/nine_slice.h"

#include <QPainter>
#include <algorithm>

#include "tarvane/shell/controls/button_skin.h"

namespace tarvane {

int NineSliceCorner(int halfSize, int width, int height) {
    return std::min(halfSize, std::min(width, height) / 2);
}

void NineSliceInto(QImage& strip, int rowHeight, const QImage& skin, int halfSize) {
    const int N = halfSize;
    const int cell = 2 * N + 1;
    const int W = strip.width();
    const int H = rowHeight;
    if (skin.isNull() || W <= 0 || H <= 0 || skin.height() < kSkinStateCount * cell) {
        return;
    }
    const int c = NineSliceCorner(N, W, H);
    QPainter painter(&strip);
    // Nearest-neighbour stretching keeps the one-pixel edges and the centre exact.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    auto copy = [&](int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh) {
        if (dw > 0 && dh > 0 && sw > 0 && sh > 0) {
            painter.drawImage(QRect(dx, dy, dw, dh), skin, QRect(sx, sy, sw, sh));
        }
    };
    for (int s = 0; s < kSkinStateCount; ++s) {
        const int ty = s * cell;
        const int sy = s * H;
        copy(0, ty, N, N, 0, sy, c, c);
        copy(N + 1, ty, N, N, W - c, sy, c, c);
        copy(0, ty + N + 1, N, N, 0, sy + H - c, c, c);
        copy(N + 1, ty + N + 1, N, N, W - c, sy + H - c, c, c);
        copy(N, ty, 1, N, c, sy, W - 2 * c, c);
        copy(N, ty + N + 1, 1, N, c, sy + H - c, W - 2 * c, c);
        copy(0, ty + N, N, 1, 0, sy + c, c, H - 2 * c);
        copy(N + 1, ty + N, N, 1, W - c, sy + c, c, H - 2 * c);
        copy(N, ty + N, 1, 1, c, sy + c, W - 2 * c, H - 2 * c);
    }
}

}  // namespace tarvane
