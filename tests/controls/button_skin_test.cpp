#include "tarvane/shell/controls/button_skin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// The shading written out again from the formulas, one channel at a time.
int Expected(const SkinParams& p, int x, int y, int state, int channel) {
    auto pick = [channel](QRgb c) { return channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : qBlue(c); };
    const double R = p.cornerRadius, W = p.strokeWidth;
    const double q = std::clamp((1 - p.ringShare) * R, 0.0, R);
    const double d = std::hypot(x, y);
    const double t = 2 * (d - R) / W;
    const double outside = std::clamp(t + 0.5, 0.0, 1.0);
    const double inside = std::clamp(0.5 - t, 0.0, 1.0);
    const double u = (q + R - 2 * d) / (R - q);
    const double frame = std::clamp(2 * (d - q) / W + 0.5, 0.0, 1.0) * inside * (1 - p.ringShading * u * u);
    const double faceShare = std::clamp(0.5 - 2 * (d - q) / W, 0.0, 1.0);
    const double falloff = p.faceGradient > 0 ? 1 - p.faceGradient * (d / q) * (d / q)
                                              : 1 + p.faceGradient - p.faceGradient * (d / q) * (d / q);
    const double light =
        std::clamp(1 - p.faceGradient * std::hypot(x - p.lightX, y - p.lightY) / p.lightRadius, -1.0, 1.0);
    const double face = falloff * faceShare * (1 + p.lightStrength * light);
    const double value =
        face * pick(p.faceColors[state]) + frame * pick(p.frameColors[state]) + outside * pick(p.surroundColors[state]);
    return std::clamp(static_cast<int>(std::trunc(value)), 0, 255);
}

void ExpectMatchesFormulas(const SkinParams& params) {
    CButtonSkin skin;
    skin.SetSkinParams(params);
    const QImage image = skin.GetSkinBitmap();
    const int n = skin.halfSize();
    const int cell = 2 * n + 1;
    ASSERT_EQ(image.size(), QSize(cell, 5 * cell));
    int mismatches = 0;
    for (int s = 0; s < kSkinStateCount; ++s) {
        for (int y = -n; y <= n; ++y) {
            for (int x = -n; x <= n; ++x) {
                const QRgb pixel = image.pixel(x + n, y + n + s * cell);
                const QRgb expected =
                    qRgb(Expected(params, x, y, s, 0), Expected(params, x, y, s, 1), Expected(params, x, y, s, 2));
                if (pixel != expected && ++mismatches <= 5) {
                    ADD_FAILURE() << "state " << s << " at (" << x << ", " << y << "): " << std::hex << pixel
                                  << " instead of " << expected;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ButtonSkinTest, TabSkinIs19By95WithTheShadedFaceOnTheSurround) {
    CButtonSkin skin;
    skin.SetSkinParams(TabParams());
    const QImage image = skin.GetSkinBitmap();
    EXPECT_EQ(skin.halfSize(), 9);
    EXPECT_EQ(image.size(), QSize(19, 95));
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
}

TEST(ButtonSkinTest, EveryPixelFollowsTheFormulas) {
    {
        SCOPED_TRACE("tab skin");
        ExpectMatchesFormulas(TabParams());
    }
    {
        SCOPED_TRACE("defaults");
        SkinParams defaults;
        defaults.surroundColors.fill(qRgb(212, 208, 200));
        ExpectMatchesFormulas(defaults);
    }
    {
        SCOPED_TRACE("negative gradient, light off centre, thick stroke");
        SkinParams p = TabParams();
        p.faceGradient = -0.4;
        p.lightX = 3.0;
        p.lightY = 2.5;
        p.strokeWidth = 3.5;
        p.ringShare = 0.35;
        p.ringShading = 0.8;
        ExpectMatchesFormulas(p);
    }
}

TEST(ButtonSkinTest, RegeneratesOnlyAfterAParameterChange) {
    CButtonSkin skin;
    const qint64 first = skin.GetSkinBitmap().cacheKey();
    EXPECT_TRUE(skin.generated());
    EXPECT_EQ(skin.GetSkinBitmap().cacheKey(), first);
    EXPECT_EQ(skin.GetSkinBitmap().size(), QSize(23, 115));

    skin.SetSkinParams(TabParams());
    EXPECT_FALSE(skin.generated());
    EXPECT_NE(skin.GetSkinBitmap().cacheKey(), first);
    EXPECT_EQ(skin.GetSkinBitmap().size(), QSize(19, 95));
}

TEST(ButtonSkinTest, DegenerateParametersNeverCrashAndKeepTheLastGoodImage) {
    CButtonSkin skin;
    skin.SetSkinParams(TabParams());
    const qint64 good = skin.GetSkinBitmap().cacheKey();

    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e12}) {
        SkinParams p = TabParams();
        p.cornerRadius = bad;
        skin.SetSkinParams(p);
        EXPECT_EQ(skin.GetSkinBitmap().cacheKey(), good);
        EXPECT_TRUE(skin.generated());
    }

    // A ring taking the whole radius leaves no face: the centre is half frame colour (the
    // undefined face weight counts as nothing) and the surround stays.
    SkinParams p = TabParams();
    p.ringShare = 1.0;
    skin.SetSkinParams(p);
    const QImage image = skin.GetSkinBitmap();
    ASSERT_EQ(image.size(), QSize(19, 95));
    EXPECT_EQ(image.pixel(9, 19 + 9), qRgb(4, 54, 15));
    EXPECT_EQ(image.pixel(0, 19), qRgb(248, 124, 0));

    // No ring at all and no stroke: still an image, surround in the corners.
    p = TabParams();
    p.ringShare = 0.0;
    p.strokeWidth = 0.0;
    skin.SetSkinParams(p);
    EXPECT_EQ(skin.GetSkinBitmap().pixel(0, 0), qRgb(248, 124, 0));
}

}  // namespace
}  // namespace tarvane
