#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace artwork {

QImage NewImage(int width, int height, const QColor& fill);
QFont Font(double pixelSize, bool bold = false);

// The white glyphs drawn on the toolbar's round badges, keyed by name.
enum class Glyph { Plus, Play, Pause, Cross, Gear, Question, Info, Minus, Arrow };
void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, double weight);

// A round badge with a glyph in it.
void DrawBadge(QPainter& painter, const QRectF& box, const QColor& fill, Glyph glyph);

}  // namespace artwork
