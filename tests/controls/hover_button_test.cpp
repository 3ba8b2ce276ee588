#include "tarvane/shell/controls/hover_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>

namespace tarvane {
namespace {

const QRgb kNormal = qRgb(200, 0, 0);
const QRgb kPressed = qRgb(0, 200, 0);
const QRgb kHover = qRgb(0, 0, 200);

// A 3 x 4 image per state, side by side in strip order.
QPixmap Strip() {
    QImage image(9, 4, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 3, 4, QColor(kNormal));
    painter.fillRect(3, 0, 3, 4, QColor(kPressed));
    painter.fillRect(6, 0, 3, 4, QColor(kHover));
    return QPixmap::fromImage(image);
}

QRgb Shown(CHoverButton& button) {
    return button.grab().toImage().pixel(1, 1);
}

void Enter(QWidget& widget) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&widget, &enter);
}

void Leave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
}

TEST(HoverButtonTest, LoadingTakesOneImageAsSizeAndKeepsPosition) {
    QWidget parent;
    CHoverButton button(&parent);
    button.setGeometry(30, 40, 100, 100);
    ASSERT_TRUE(button.LoadStateBitmap(Strip()));
    EXPECT_EQ(button.imageWidth(), 3);
    EXPECT_EQ(button.imageHeight(), 4);
    EXPECT_EQ(button.geometry(), QRect(30, 40, 3, 4));

    // A strip that cannot be read keeps the one loaded before.
    EXPECT_FALSE(button.LoadStateBitmap(QStringLiteral(":/no/such/strip.png")));
    EXPECT_FALSE(button.LoadStateBitmap(QPixmap()));
    EXPECT_EQ(button.imageWidth(), 3);
    EXPECT_EQ(Shown(button), kNormal);
}

TEST(HoverButtonTest, ShowsTheImageOfEachState) {
    CHoverButton button;
    ASSERT_TRUE(button.LoadStateBitmap(Strip()));
    EXPECT_EQ(Shown(button), kNormal);

    Enter(button);
    EXPECT_TRUE(button.hover());
    EXPECT_EQ(button.SourceX(), 6);
    EXPECT_EQ(Shown(button), kHover);

    // Pressed while the mouse is over it: pressed wins.
    button.setDown(true);
    EXPECT_EQ(button.SourceX(), 3);
    EXPECT_EQ(Shown(button), kPressed);
    button.setDown(false);

    // Disabled shows the normal image even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(Shown(button), kNormal);
    button.setEnabled(true);
    EXPECT_EQ(Shown(button), kHover);

    Leave(button);
    EXPECT_FALSE(button.hover());
    EXPECT_EQ(Shown(button), kNormal);
}

}  // namespace
}  // namespace tarvane
