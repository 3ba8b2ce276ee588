#pragma once

#include <QImage>
#include <QRgb>
#include <array>

namespace tarvane {

// Button states, in the order of every per-state table and of the rows of every strip.
enum SkinState : int { kStateDisabled = 0, kStateNormal = 1, kStateToggled = 2, kStatePressed = 3, kStateHover = 4 };
inline constexpr int kSkinStateCount = 5;

struct SkinParams {
    double strokeWidth = 2.0;
    double cornerRadius = 10.0;
    double ringShare = 0.2;
    double ringShading = 0.5;
    double faceGradient = 0.5;
    double lightX = 0.0;
    double lightY = -7.0;
    double lightRadius = 7.0;
    double lightStrength = 0.4;
    // The surround defaults to the button face colour of the application's palette when a skin is made.
    std::array<QRgb, kSkinStateCount> surroundColors{qRgb(240, 240, 240), qRgb(240, 240, 240), qRgb(240, 240, 240),
                                                     qRgb(240, 240, 240), qRgb(240, 240, 240)};
    std::array<QRgb, kSkinStateCount> frameColors{qRgb(128, 128, 128), qRgb(164, 128, 128), qRgb(255, 255, 0),
                                                  qRgb(164, 128, 128), qRgb(164, 128, 128)};
    std::array<QRgb, kSkinStateCount> faceColors{qRgb(128, 128, 128), qRgb(164, 164, 164), qRgb(164, 164, 164),
                                                 qRgb(64, 64, 64), qRgb(192, 192, 192)};
};

// A rounded, shaded button face computed pixel by pixel: one (2N+1)-square cell per state,
// stacked vertically. One skin can serve several buttons.
class CButtonSkin {
public:
    CButtonSkin();

    SkinParams GetSkinParams() const { return params_; }
    void SetSkinParams(const SkinParams& params);

    // Generates the image on first use after construction or a parameter change. Parameters that
    // would make the shape undefined or absurdly large leave the previous image in place.
    const QImage& GetSkinBitmap();

    int halfSize() const { return halfSize_; }
    bool generated() const { return generated_; }

private:
    bool Generate();

    SkinParams params_;
    QImage skinBitmap_;
    int halfSize_ = 0;
    bool generated_ = false;
};

}  // namespace tarvane
