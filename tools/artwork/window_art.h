#pragma once

#include <QImage>
#include <QString>

#include "drawing.h"

namespace artwork {

QImage Background();
// Three images side by side: normal, pressed, hover.
QImage ToolbarStrip(Glyph glyph, const QString& label, const QColor& badge);
QImage CaptionStrip(Glyph glyph, const QColor& hover);

}  // namespace artwork
