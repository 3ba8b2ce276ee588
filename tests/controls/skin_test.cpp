#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <limits>
#include <string>
#include <vector>

#include "tarvane/shell/controls/button_skin.h"
#include "tarvane/shell/controls/nine_slice.h"
#include "tarvane/shell/controls/skin_tab_button.h"

namespace tarvane {
namespace {

// The main window's tab skin: radius 8 on an orange surround.
SkinParams TabParams() {
    SkinParams p;
    p.cornerRadius = 8.0;
    p.ringShare = 0.0001;
    p.ringShading = 0.0;
    p.surroundColors.fill(qRgb(248, 124, 0));
    p.frameColors[kStateNormal] = qRgb(9, 109, 30);
    p.faceColors = {qRgb(255, 232, 78), qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 255, 255),
                    qRgb(255, 232, 78)};
    return p;
}

TEST(ButtonSkinTest, GeneratesOnceAfterEachChangeAndKeepsTheLastGoodImage) {
    CButtonSkin skin;
    const qint64 first = skin.GetSkinBitmap().cacheKey();
    EXPECT_TRUE(skin.generated());
    EXPECT_EQ(skin.GetSkinBitmap().cacheKey(), first);
    EXPECT_EQ(skin.GetSkinBitmap().size(), QSize(23, 115));

    skin.SetSkinParams(TabParams());
    EXPECT_FALSE(skin.generated());
    const QImage image = skin.GetSkinBitmap();
    EXPECT_NE(image.cacheKey(), first);
    EXPECT_EQ(skin.halfSize(), 9);
    ASSERT_EQ(image.size(), QSize(19, 95));
    for (int s = 0; s < kSkinStateCount; ++s) {
        // Corners lie wholly outside the shape.
        EXPECT_EQ(image.pixel(0, s * 19), qRgb(248, 124, 0));
        EXPECT_EQ(image.pixel(18, s * 19 + 18), qRgb(248, 124, 0));
    }
    // The centre gets 1.2 x the face colour (highlight half strength): white saturates, and
    // 255, 232, 78 becomes 255, 255, 93.
    EXPECT_EQ(image.pixel(9, 1 * 19 + 9), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(9, 0 * 19 + 9), qRgb(255, 255, 93));
    EXPECT_EQ(image.pixel(9, 4 * 19 + 9), qRgb(255, 255, 93));

    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e12}) {
        SkinParams p = TabParams();
        p.cornerRadius = bad;
        skin.SetSkinParams(p);
        EXPECT_EQ(skin.GetSkinBitmap().cacheKey(), image.cacheKey());
        EXPECT_TRUE(skin.generated());
    }
    // A ring taking the whole radius leaves no face: the centre is half frame colour (the
    // undefined face weight counts as nothing) and the surround stays.
    SkinParams p = TabParams();
    p.ringShare = 1.0;
    skin.SetSkinParams(p);
    EXPECT_EQ(skin.GetSkinBitmap().pixel(9, 19 + 9), qRgb(4, 54, 15));
    EXPECT_EQ(skin.GetSkinBitmap().pixel(0, 19), qRgb(248, 124, 0));
    // No ring at all and no stroke: still an image, surround in the corners.
    p.ringShare = 0.0;
    p.strokeWidth = 0.0;
    skin.SetSkinParams(p);
    EXPECT_EQ(skin.GetSkinBitmap().pixel(0, 0), qRgb(248, 124, 0));
}

TEST(ButtonSkinTest, GradientSignAndLightPlaceShadeTheFace) {
    SkinParams p = TabParams();
    p.faceColors.fill(qRgb(100, 100, 100));
    p.lightStrength = 0.0;
    const auto face = [&p](int x, int y) {
        CButtonSkin skin;
        skin.SetSkinParams(p);
        const QImage image = skin.GetSkinBitmap();
        const int n = skin.halfSize();
        return qRed(image.pixel(n + x, n + y));
    };
    p.faceGradient = 0.4;  // darker towards the ring
    EXPECT_GT(face(0, 0), face(4, 0));
    p.faceGradient = -0.4;  // lighter towards the ring
    EXPECT_LT(face(0, 0), face(4, 0));
    // The highlight follows the light, wherever it is put.
    p.faceGradient = 0.4;
    p.lightStrength = 0.5;
    p.lightX = 3.0;
    p.lightY = -2.0;
    EXPECT_GT(face(3, -2), face(-3, 2));
    EXPECT_GT(face(3, -2), face(3, 2));
}

// Regions of a skin cell numbered row by row, 0 top left to 8 bottom right, so that a copied pixel
// tells where it came from.
QRgb RegionColor(int region, int state) {
    return qRgb(20 * region + 10, 40 * state + 5, 99);
}

// Slices a skin with N x N corners and one-pixel middle row and column into a button as large as
// `map`, whose digits name the region each pixel must come from, in every state row.
void ExpectSlices(int n, const std::vector<std::string>& map) {
    const int cell = 2 * n + 1;
    QImage skin(cell, 5 * cell, QImage::Format_RGB32);
    for (int y = 0; y < 5 * cell; ++y) {
        for (int x = 0; x < cell; ++x) {
            const auto third = [n](int i) { return i < n ? 0 : i == n ? 1 : 2; };
            skin.setPixel(x, y, RegionColor(third(y % cell) * 3 + third(x), y / cell));
        }
    }
    const int width = static_cast<int>(map[0].size());
    const int height = static_cast<int>(map.size());
    QImage strip(width, 5 * height, QImage::Format_RGB32);
    strip.fill(Qt::black);
    NineSliceInto(strip, height, skin, n);
    for (int s = 0; s < 5; ++s) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                EXPECT_EQ(strip.pixel(x, s * height + y), RegionColor(map[y][x] - '0', s))
                    << s << ": " << x << "," << y;
            }
        }
    }
}

TEST(NineSliceTest, CornersStayWholeDownToHalfTheSmallerSideAndTheRestStretches) {
    EXPECT_EQ(NineSliceCorner(9, 73, 30), 9);
    EXPECT_EQ(NineSliceCorner(9, 12, 10), 5);
    EXPECT_EQ(NineSliceCorner(9, 40, 11), 5);
    EXPECT_EQ(NineSliceCorner(9, 0, 30), 0);
    ExpectSlices(3, {"0001111222",  //
                     "0001111222",  //
                     "0001111222",  //
                     "3334444555",  //
                     "3334444555",  //
                     "6667777888",  //
                     "6667777888",  //
                     "6667777888"});
    // Corners of 3 on an 8 x 6 button, two columns of top edge, no middle rows.
    ExpectSlices(5, {"00011222",  //
                     "00011222",  //
                     "00011222",  //
                     "66677888",  //
                     "66677888",  //
                     "66677888"});
}

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
    EXPECT_EQ(button.CurrentState(), kStateNormal);
    EXPECT_EQ(centre(), face(kStateNormal));

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.mouseOver());
    EXPECT_EQ(centre(), face(kStateHover));
    button.hoverTracking = false;
    EXPECT_EQ(centre(), face(kStateNormal));
    button.hoverTracking = true;

    button.SetToggled(true);
    EXPECT_EQ(centre(), face(kStateToggled));
    button.setDown(true);
    EXPECT_EQ(centre(), face(kStatePressed));
    button.setDown(false);
    button.SetToggled(false);

    // The current tab is the disabled one: row 0 even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(centre(), face(kStateDisabled));
    button.setEnabled(true);

    // Moving out of the button ends the hover.
    QMouseEvent move(QEvent::MouseMove, QPointF(-10, -10), QPointF(-10, -10), QPointF(-10, -10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
    EXPECT_FALSE(button.mouseOver());
    EXPECT_EQ(centre(), face(kStateNormal));
}

TEST(SkinTabButtonTest, StripIsRedrawnForANewCaptionOrSizeWithEachStateInItsColour) {
    CButtonSkin skin;
    SkinParams p = StateParams();
    p.faceColors.fill(qRgb(255, 255, 255));
    skin.SetSkinParams(p);
    CSkinTabButton button;
    button.resize(80, 30);
    button.SetSkin(&skin);
    QFont font = button.GetTextFont();
    font.setPixelSize(20);
    button.SetTextFont(font);
    const std::array<QColor, kSkinStateCount> colors{QColor(255, 0, 0), QColor(0, 160, 0), QColor(0, 0, 255),
                                                     QColor(255, 0, 255), QColor(0, 160, 160)};
    button.SetTextColors(colors);
    button.setText(QStringLiteral("HHHH"));
    button.UpdateStrip();
    const QImage before = button.strip();
    ASSERT_EQ(before.size(), QSize(80, 150));
    for (int s = 0; s < kSkinStateCount; ++s) {
        bool found = false;
        for (int y = s * 30; y < (s + 1) * 30 && !found; ++y) {
            for (int x = 0; x < 80 && !found; ++x) {
                found = before.pixel(x, y) == colors[s].rgb();
            }
        }
        EXPECT_TRUE(found) << s;
    }

    const qint64 skinKey = skin.GetSkinBitmap().cacheKey();
    button.UpdateStrip();
    EXPECT_EQ(button.strip(), before);
    button.setText(QString::fromUtf8("已完成"));
    button.UpdateStrip();
    EXPECT_NE(button.strip(), before);
    EXPECT_EQ(skin.GetSkinBitmap().cacheKey(), skinKey);
    button.resize(40, 20);
    button.UpdateStrip();
    EXPECT_EQ(button.strip().size(), QSize(40, 100));
}

}  // namespace
}  // namespace tarvane
