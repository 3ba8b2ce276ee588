#include "icons.h"

#include <QPainter>
#include <QPainterPath>

#include "drawing.h"
#include "theme.h"

namespace artwork {

QImage MainIcon(int size) {
    QImage image = NewImage(size, size, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double s = size;
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
    gradient.setColorAt(0.0, QColor(255, 156, 38));
    gradient.setColorAt(1.0, QColor(232, 100, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, s * 0.2, s * 0.2);

    // Gloss over the upper half.
    QPainterPath gloss;
    gloss.addRoundedRect(tile.adjusted(s * 0.02, s * 0.02, -s * 0.02, -s * 0.46), s * 0.18, s * 0.18);
    painter.fillPath(gloss, QColor(255, 255, 255, 38));

    // A white arrow dropping into a tray.
    const QRectF art(s * 0.26, s * 0.2, s * 0.48, s * 0.56);
    QPen pen(Qt::white, s * 0.085);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double cx = art.center().x();
    painter.drawLine(QPointF(cx, art.top()), QPointF(cx, art.top() + art.height() * 0.62));
    QPainterPath head;
    head.moveTo(art.left() + art.width() * 0.12, art.top() + art.height() * 0.36);
    head.lineTo(cx, art.top() + art.height() * 0.66);
    head.lineTo(art.right() - art.width() * 0.12, art.top() + art.height() * 0.36);
    painter.drawPath(head);
    QPainterPath tray;
    tray.moveTo(art.left(), art.top() + art.height() * 0.72);
    tray.lineTo(art.left(), art.bottom());
    tray.lineTo(art.right(), art.bottom());
    tray.lineTo(art.right(), art.top() + art.height() * 0.72);
    painter.drawPath(tray);
    return image;
}

namespace {

QImage RowBadge(const QColor& fill, Glyph glyph, double weight) {
    QImage image = NewImage(16, 16, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    DrawGlyph(painter, glyph, QRectF(4.5, 4, 7, 8), Qt::white, weight);
    return image;
}

}  // namespace

QImage RowIdle() {
    return RowBadge(QColor(150, 150, 150), Glyph::Pause, 1.6);
}
QImage RowFailed() {
    return RowBadge(QColor(214, 48, 39), Glyph::Cross, 1.9);
}
QImage RowDownloading() {
    return RowBadge(kOrange, Glyph::Arrow, 1.6);
}

}  // namespace artwork
