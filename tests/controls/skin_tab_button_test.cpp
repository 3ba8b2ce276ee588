#include "tarvane/shell/controls/skin_tab_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "tarvane/shell/controls/nine_slice.h"

namespace tarvane {
namespace {

// Regions of a skin cell, so that a copied pixel tells where it came from.
enum Region { kTopLeft, kTop, kTopRight, kLeft, kCentre, kRight, kBottomLeft, kBottom, kBottomRight };

QRgb RegionColor(int region, int state) {
    return qRgb(20 * region + 10, 40 * state + 5, 99);
}

// A skin whose cells are painted by region: N x N corners, one-pixel middle row and column.
QImage RegionSkin(int n) {
    const int cell = 2 * n + 1;
    QImage skin(cell, 5 * cell, QImage::Format_RGB32);
    for (int s = 0; s < 5; ++s) {
        for (int y = 0; y < cell; ++y) {
            for (int x = 0; x < cell; ++x) {
                const int column = x < n ? 0 : x == n ? 1 : 2;
                const int row = y < n ? 0 : y == n ? 1 : 2;
                skin.setPixel(x, s * cell + y, RegionColor(row * 3 + column, s));
            }
        }
    }
    return skin;
}

struct Probe {
    int x, y, region;
};

// Slices the region skin into a `width` x `height` button and checks where each probed pixel came from.
void ExpectSlices(int n, int width, int height, std::initializer_list<Probe> probes) {
    QImage strip(width, 5 * height, QImage::Format_RGB32);
    strip.fill(Qt::black);
    NineSliceInto(strip, height, RegionSkin(n), n);
    for (int s = 0; s < 5; ++s) {
        for (const Probe& p : probes) {
            EXPECT_EQ(strip.pixel(p.x, s * height + p.y), RegionColor(p.region, s)) << s << " " << p.x << "," << p.y;
        }
    }
}

TEST(NineSliceTest, CornersStayWholeOnLargeButtons) {
    EXPECT_EQ(NineSliceCorner(9, 73, 30), 9);
    ExpectSlices(3, 20, 12,
                 {{0, 0, kTopLeft},
                  {2, 2, kTopLeft},
                  {3, 0, kTop},
                  {16, 2, kTop},
                  {17, 0, kTopRight},
                  {0, 3, kLeft},
                  {10, 6, kCentre},
                  {19, 8, kRight},
                  {2, 9, kBottomLeft},
                  {10, 11, kBottom},
                  {19, 11, kBottomRight}});
}

TEST(NineSliceTest, SmallButtonsUseCornersOfHalfTheirSmallerSide) {
    EXPECT_EQ(NineSliceCorner(9, 12, 10), 5);
    EXPECT_EQ(NineSliceCorner(9, 40, 11), 5);
    EXPECT_EQ(NineSliceCorner(9, 0, 30), 0);
    // N = 5 on an 8 x 6 button: corners of 3, two columns of top edge, no middle rows.
    ExpectSlices(5, 8, 6,
                 {{0, 0, kTopLeft},
                  {2, 2, kTopLeft},
                  {3, 1, kTop},
                  {4, 1, kTop},
                  {5, 0, kTopRight},
                  {7, 2, kTopRight},
                  {0, 3, kBottomLeft},
                  {4, 5, kBottom},
                  {7, 5, kBottomRight}});
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

QRgb Centre(QWidget& widget) {
    return widget.grab().toImage().pixel(widget.width() / 2, widget.height() / 2);
}

void Enter(QWidget& widget) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&widget, &enter);
}

TEST(SkinTabButtonTest, ShowsTheRowOfEachOfTheFiveStates) {
    CButtonSkin skin;
    skin.SetSkinParams(StateParams());
    const QImage cells = skin.GetSkinBitmap();
    const int n = skin.halfSize();
    auto face = [&](int state) { return cells.pixel(n, n + state * (2 * n + 1)); };

    CSkinTabButton button;
    button.resize(73, 30);
    button.SetSkin(&skin);
    button.hoverTracking = true;
    EXPECT_EQ(button.CurrentState(), kStateNormal);
    EXPECT_EQ(Centre(button), face(kStateNormal));

    Enter(button);
    EXPECT_TRUE(button.mouseOver());
    EXPECT_EQ(button.CurrentState(), kStateHover);
    EXPECT_EQ(Centre(button), face(kStateHover));

    button.hoverTracking = false;
    EXPECT_EQ(Centre(button), face(kStateNormal));
    button.hoverTracking = true;

    button.SetToggled(true);
    EXPECT_EQ(Centre(button), face(kStateToggled));
    button.setDown(true);
    EXPECT_EQ(Centre(button), face(kStatePressed));
    button.setDown(false);
    button.SetToggled(false);

    // The current tab is the disabled one: row 0 even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(button.CurrentState(), kStateDisabled);
    EXPECT_EQ(Centre(button), face(kStateDisabled));
    button.setEnabled(true);

    // Moving out of the button ends the hover.
    QMouseEvent move(QEvent::MouseMove, QPointF(-10, -10), QPointF(-10, -10), QPointF(-10, -10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
    EXPECT_FALSE(button.mouseOver());
    EXPECT_EQ(Centre(button), face(kStateNormal));
}

TEST(SkinTabButtonTest, CaptionChangeRepaintsTheStripButKeepsTheSkin) {
    CButtonSkin skin;
    skin.SetSkinParams(StateParams());
    CSkinTabButton button;
    button.resize(73, 30);
    button.SetSkin(&skin);
    button.setText(QStringLiteral("正在下载"));
    button.UpdateStrip();
    ASSERT_EQ(button.strip().size(), QSize(73, 150));
    const qint64 skinKey = skin.GetSkinBitmap().cacheKey();
    const QImage before = button.strip();

    button.UpdateStrip();
    EXPECT_EQ(button.strip(), before);

    button.setText(QStringLiteral("已完成"));
    button.UpdateStrip();
    EXPECT_NE(button.strip(), before);
    EXPECT_EQ(skin.GetSkinBitmap().cacheKey(), skinKey);

    // A new size makes a new strip of five rows.
    button.resize(40, 20);
    button.UpdateStrip();
    EXPECT_EQ(button.strip().size(), QSize(40, 100));
}

TEST(SkinTabButtonTest, CaptionRowsUseTheirStateColours) {
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
    const QImage strip = button.strip();
    for (int s = 0; s < kSkinStateCount; ++s) {
        SCOPED_TRACE(s);
        bool found = false;
        for (int y = s * 30; y < (s + 1) * 30 && !found; ++y) {
            for (int x = 0; x < 80 && !found; ++x) {
                found = strip.pixel(x, y) == colors[s].rgb();
            }
        }
        EXPECT_TRUE(found);
    }
}

}  // namespace
}  // namespace tarvane
