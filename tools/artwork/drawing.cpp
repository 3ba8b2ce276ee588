#include "drawing.h"

#include <QPainterPath>
#include <QtMath>

#include "theme.h"

namespace artwork {

QImage NewImage(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

QFont Font(double pixelSize, bool bold) {
    QFont font(QString::fromUtf8(kFontFamily));
    font.setPixelSize(qRound(pixelSize));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

namespace {

QPen RoundPen(const QColor& color, double width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void DrawGear(QPainter& painter, const QRectF& box, const QColor& color) {
    const QPointF c = box.center();
    const double outer = box.width() * 0.5;
    const double inner = outer * 0.72;
    const int teeth = 8;
    QPainterPath path;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, root.
        const double angle = (i * 2.0 * M_PI) / (teeth * 4) - M_PI / 2;
        const double radius = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        const QPointF p(c.x() + radius * qCos(angle), c.y() + radius * qSin(angle));
        if (i == 0) {
            path.moveTo(p);
        } else {
            path.lineTo(p);
        }
    }
    path.closeSubpath();
    path.addEllipse(c, outer * 0.32, outer * 0.32);
    path.setFillRule(Qt::OddEvenFill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(path);
}

}  // namespace

void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, double weight) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(RoundPen(color, weight));
    painter.setBrush(Qt::NoBrush);
    const double x = box.x();
    const double y = box.y();
    const double w = box.width();
    const double h = box.height();
    const QPointF c = box.center();
    switch (glyph) {
        case Glyph::Plus:
            painter.drawLine(QPointF(c.x(), y), QPointF(c.x(), y + h));
            painter.drawLine(QPointF(x, c.y()), QPointF(x + w, c.y()));
            break;
        case Glyph::Minus:
            painter.drawLine(QPointF(x, c.y()), QPointF(x + w, c.y()));
            break;
        case Glyph::Cross:
            painter.drawLine(QPointF(x, y), QPointF(x + w, y + h));
            painter.drawLine(QPointF(x + w, y), QPointF(x, y + h));
            break;
        case Glyph::Play: {
            QPainterPath path;
            path.moveTo(x + w * 0.18, y);
            path.lineTo(x + w, c.y());
            path.lineTo(x + w * 0.18, y + h);
            path.closeSubpath();
            painter.setPen(RoundPen(color, weight * 0.6));
            painter.setBrush(color);
            painter.drawPath(path);
            break;
        }
        case Glyph::Pause:
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawRoundedRect(QRectF(x + w * 0.12, y, w * 0.28, h), 1.0, 1.0);
            painter.drawRoundedRect(QRectF(x + w * 0.60, y, w * 0.28, h), 1.0, 1.0);
            break;
        case Glyph::Gear:
            // Teeth need more room than a stroke glyph to read at badge size.
            DrawGear(painter, box.adjusted(-w * 0.22, -h * 0.22, w * 0.22, h * 0.22), color);
            break;
        case Glyph::Question: {
            QPainterPath path;
            path.moveTo(x + w * 0.18, y + h * 0.28);
            path.cubicTo(x + w * 0.18, y - h * 0.05, x + w * 0.86, y - h * 0.05, x + w * 0.82, y + h * 0.30);
            path.cubicTo(x + w * 0.78, y + h * 0.52, c.x(), y + h * 0.50, c.x(), y + h * 0.70);
            painter.drawPath(path);
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(QPointF(c.x(), y + h * 0.95), weight * 0.65, weight * 0.65);
            break;
        }
        case Glyph::Info:
            painter.drawLine(QPointF(c.x(), y + h * 0.40), QPointF(c.x(), y + h));
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(QPointF(c.x(), y + h * 0.08), weight * 0.65, weight * 0.65);
            break;
        case Glyph::Arrow: {
            painter.drawLine(QPointF(c.x(), y), QPointF(c.x(), y + h * 0.72));
            QPainterPath head;
            head.moveTo(x + w * 0.18, y + h * 0.45);
            head.lineTo(c.x(), y + h * 0.78);
            head.lineTo(x + w * 0.82, y + h * 0.45);
            painter.drawPath(head);
            painter.drawLine(QPointF(x + w * 0.05, y + h), QPointF(x + w * 0.95, y + h));
            break;
        }
    }
    painter.restore();
}

void DrawBadge(QPainter& painter, const QRectF& box, const QColor& fill, Glyph glyph) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, fill.lighter(112));
    gradient.setColorAt(1.0, fill.darker(106));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(box);
    const double inset = box.width() * 0.29;
    const QRectF glyphBox = box.adjusted(inset, inset, -inset, -inset);
    DrawGlyph(painter, glyph, glyphBox, kWhite, box.width() * 0.1);
    painter.restore();
}

}  // namespace artwork
