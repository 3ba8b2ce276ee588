#include "tarvane/shell/controls/button_skin.h"

#include <gtest/gtest.h>

#include <limits>

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

}  // namespace
}  // namespace tarvane
