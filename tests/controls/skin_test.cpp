#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include "tarvane/shell/controls/button_skin.h"
#include "tarvane/shell/controls/skin_tab_button.h"

namespace tarvane {
namespace {

// Faces of five different colours make the row shown readable from the button's centre.
SkinParams StateParams() {
    SkinParams p;
    p.cornerRadius = 8.0;
    p.faceGradient = 0.0;
    p.lightStrength = 0.0;
    p.faceColors = {qRgb(100, 0, 0), qRgb(0, 100, 0), qRgb(0, 0, 100), qRgb(100, 100, 0), qRgb(0, 100, 100)};
    return p;
}

TEST(SkinTabButtonTest, ShowsTheRowOfEachOfTheFiveStates) {
    CButtonSkin skin;
    skin.SetSkinParams(StateParams());
    const QImage cells = skin.GetSkinBitmap();
    const int n = skin.halfSize();
    const auto face = [&](int state) { return cells.pixel(n, n + state * (2 * n + 1)); };

    CSkinTabButton button;
    button.resize(73, 30);
    button.SetSkin(&skin);
    button.hoverTracking = true;
    const auto centre = [&button] { return button.grab().toImage().pixel(36, 15); };
    EXPECT_EQ(centre(), face(kStateNormal));

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(centre(), face(kStateHover));
    button.SetToggled(true);
    EXPECT_EQ(centre(), face(kStateToggled));
    button.setDown(true);
    EXPECT_EQ(centre(), face(kStatePressed));
    button.setDown(false);
    button.SetToggled(false);
    // The current tab is the disabled one, even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(centre(), face(kStateDisabled));
    button.setEnabled(true);

    QMouseEvent move(QEvent::MouseMove, QPointF(-10, -10), QPointF(-10, -10), QPointF(-10, -10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
    EXPECT_FALSE(button.mouseOver());
    EXPECT_EQ(centre(), face(kStateNormal));
}

}  // namespace
}  // namespace tarvane
