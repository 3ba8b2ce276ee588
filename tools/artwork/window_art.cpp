#include "window_art.h"

#include <QPainterPath>

#include "theme.h"

namespace artwork {

namespace {

// Category labels start at 28.5 px and follow every 78 px; toolbar buttons every 135 px from 18.
constexpr double kCategoryLeft = 28.5;
constexpr double kCategoryStep = 78.0;
constexpr int kCategoryCount = 12;
constexpr double kToolbarLeft = 18.0;
constexpr double kToolbarStep = 135.0;
constexpr int kToolbarCount = 7;
constexpr double kToolbarButtonWidth = 87.0;

void DrawTitleBand(QPainter& painter) {
    painter.fillRect(QRect(0, 0, kWidth, kTitleBottom), kOrange);
    // A soft sheen on the left, clear of the caption buttons on the right.
    QLinearGradient sheen(0, 0, 520, 0);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 46));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(QRect(0, 0, 520, kTitleBottom), sheen);
    painter.fillRect(QRect(0, kTitleBottom - 1, kWidth, 1), kOrangeDark);

    // The icon's arrow on a white tile: the orange icon itself would vanish into the band.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kWhite);
    painter.drawRoundedRect(QRectF(14, 8, 26, 26), 6, 6);
    DrawGlyph(painter, Glyph::Arrow, QRectF(20, 13, 14, 15), kOrange, 2.4);
    painter.setPen(kWhite);
    painter.setFont(Font(20, true));
    painter.drawText(QRectF(48, 0, 200, kTitleBottom), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Quellora"));
    const double nameWidth = QFontMetricsF(Font(20, true)).horizontalAdvance(QStringLiteral("Quellora"));
    painter.setPen(QColor(255, 238, 220));
    painter.setFont(Font(13));
    painter.drawText(QRectF(48 + nameWidth + 10, 2, 200, kTitleBottom), Qt::AlignVCenter | Qt::AlignLeft,
                     QString::fromUtf8("游戏下载器"));
}

void DrawToolbarBand(QPainter& painter) {
    painter.fillRect(QRect(0, kTitleBottom, kWidth, kToolbarBottom - kTitleBottom), kWhite);
    for (int i = 0; i + 1 < kToolbarCount; ++i) {
        const double gapMiddle = kToolbarLeft + i * kToolbarStep + kToolbarButtonWidth + 24;
        painter.fillRect(QRectF(gapMiddle, 58, 1, 28), kLine);
    }
    // A faint warm shade leads from the toolbar into the category bar, below the buttons.
    QLinearGradient shade(0, 97, 0, kToolbarBottom);
    shade.setColorAt(0.0, kWhite);
    shade.setColorAt(1.0, kOrangeTint);
    painter.fillRect(QRect(0, 97, kWidth, kToolbarBottom - 97), shade);
}

void DrawCategoryBand(QPainter& painter) {
    QRect band(0, kCategoryTop, kWidth, kCategoryBottom - kCategoryTop);
    painter.fillRect(band, kOrange);
    painter.fillRect(QRect(0, kCategoryTop, kWidth, 1), kOrangeDark);
    for (int i = 1; i < kCategoryCount; ++i) {
        const double x = kCategoryLeft + i * kCategoryStep - 15;
        painter.fillRect(QRectF(x, kCategoryTop + 12, 1, 16), QColor(255, 186, 120));
    }
}

// The orange tab holder below the category bar on the left, and the framed panes.
void DrawPanes(QPainter& painter) {
    painter.fillRect(QRect(0, kCategoryBottom, kWidth, kHeight - kCategoryBottom), kWhite);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath holder;
    holder.addRoundedRect(QRectF(10, kCategoryBottom - 12, 214, 72), 10, 10);
    painter.fillPath(holder, kOrange);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(10, kCategoryBottom - 1, 214, 3), kOrange);

    painter.setPen(kBorder);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(14, 206, 205, 391));
    painter.drawRect(QRect(223, 150, 746, 447));

    // A thin orange rule closes the window at the bottom.
    painter.fillRect(QRect(0, kHeight - 4, kWidth, 4), kOrange);
}

void DrawWindowEdge(QPainter& painter) {
    painter.setPen(kOrangeDark);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, 0, kWidth - 1, kHeight - 1));
}

}  // namespace

QImage Background() {
    QImage image = NewImage(kWidth, kHeight, kWhite);
    QPainter painter(&image);
    DrawTitleBand(painter);
    DrawToolbarBand(painter);
    DrawPanes(painter);
    DrawCategoryBand(painter);
    DrawWindowEdge(painter);
    return image;
}

namespace {

enum class Look { Normal, Pressed, Hover };

void DrawToolbarButton(QPainter& painter, const QRectF& cell, Look look, Glyph glyph, const QString& label,
                       const QColor& badge) {
    painter.fillRect(cell, kWhite);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF plate = cell.adjusted(2.5, 2.5, -2.5, -2.5);
    if (look == Look::Hover) {
        painter.setPen(QPen(kOrangeLight, 1.0));
        painter.setBrush(kOrangeTint);
        painter.drawRoundedRect(plate, 6, 6);
    } else if (look == Look::Pressed) {
        painter.setPen(QPen(kOrange, 1.0));
        painter.setBrush(kOrangePressed);
        painter.drawRoundedRect(plate, 6, 6);
    }
    const double shift = look == Look::Pressed ? 1.0 : 0.0;
    const QRectF badgeBox(cell.x() + 9 + shift, cell.y() + 10.5 + shift, 26, 26);
    DrawBadge(painter, badgeBox, look == Look::Hover ? badge.lighter(108) : badge, glyph);
    painter.setFont(Font(15, look != Look::Normal));
    painter.setPen(look == Look::Normal ? kText : kOrangeDark);
    painter.drawText(QRectF(cell.x() + 39 + shift, cell.y() + shift, cell.width() - 41, cell.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, label);
}

void DrawCaptionButton(QPainter& painter, const QRectF& cell, Look look, Glyph glyph, const QColor& hover) {
    painter.fillRect(cell, kOrange);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (look != Look::Normal) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(look == Look::Hover ? hover : kOrangeDark);
        painter.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 4, 4);
    }
    const QRectF glyphBox = cell.adjusted(7, 7, -7, -7);
    DrawGlyph(painter, glyph, glyphBox, kWhite, 1.8);
}

}  // namespace

QImage ToolbarStrip(Glyph glyph, const QString& label, const QColor& badge) {
    constexpr int kCell = 87;
    QImage image = NewImage(3 * kCell, 47, kWhite);
    QPainter painter(&image);
    const Look looks[3] = {Look::Normal, Look::Pressed, Look::Hover};
    for (int i = 0; i < 3; ++i) {
        DrawToolbarButton(painter, QRectF(i * kCell, 0, kCell, 47), looks[i], glyph, label, badge);
    }
    return image;
}

QImage CaptionStrip(Glyph glyph, const QColor& hover) {
    constexpr int kCell = 22;
    QImage image = NewImage(3 * kCell, kCell, kOrange);
    QPainter painter(&image);
    const Look looks[3] = {Look::Normal, Look::Pressed, Look::Hover};
    for (int i = 0; i < 3; ++i) {
        DrawCaptionButton(painter, QRectF(i * kCell, 0, kCell, kCell), looks[i], glyph, hover);
    }
    return image;
}

}  // namespace artwork
