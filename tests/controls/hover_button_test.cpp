#include "tarvane/shell/controls/hover_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>

namespace tarvane {
namespace {

TEST(HoverButtonTest, TakesTheSizeOfOneImageAndShowsTheImageOfEachState) {
    enum { kNormal, kPressed, kHover };
    const QRgb colors[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    // A 3 x 4 image per state, side by side in strip order.
    QImage strip(9, 4, QImage::Format_RGB32);
    QPainter painter(&strip);
    for (int i = 0; i < 3; ++i) {
        painter.fillRect(3 * i, 0, 3, 4, QColor(colors[i]));
    }
    painter.end();

    QWidget parent;
    CHoverButton button(&parent);
    button.setGeometry(30, 40, 100, 100);
    ASSERT_TRUE(button.LoadStateBitmap(QPixmap::fromImage(strip)));
    EXPECT_EQ(button.geometry(), QRect(30, 40, 3, 4));
    // A strip that cannot be read keeps the one loaded before.
    EXPECT_FALSE(button.LoadStateBitmap(QStringLiteral(":/no/such/strip.png")));
    EXPECT_FALSE(button.LoadStateBitmap(QPixmap()));
    EXPECT_EQ(button.imageWidth(), 3);

    const auto shown = [&button] { return button.grab().toImage().pixel(1, 1); };
    EXPECT_EQ(shown(), colors[kNormal]);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.hover());
    EXPECT_EQ(shown(), colors[kHover]);
    // Pressed while the mouse is over it: pressed wins.
    button.setDown(true);
    EXPECT_EQ(shown(), colors[kPressed]);
    button.setDown(false);
    // Disabled shows the normal image even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(shown(), colors[kNormal]);
    button.setEnabled(true);
    EXPECT_EQ(shown(), colors[kHover]);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.hover());
    EXPECT_EQ(shown(), colors[kNormal]);
}

}  // namespace
}  // namespace tarvane
