#include "tarvane/shell/controls/button_skin.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace tarvane {

namespace {

// Larger cells would only come from nonsense parameters; refusing them keeps the int maths safe.
constexpr double kMaxHalfSize = 2048.0;

double Clamp(double value, double low, double high) {
    return std::min(std::max(value, low), high);
}

// Truncates towards zero and clamps to a channel; NaN (from a degenerate shape) reads as 0.
int Channel(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 255.0) {
        return 255;
    }
    return static_cast<int>(value);
}

// Shapes outside the defined range divide by zero; such a weight contributes nothing.
double Weight(double value) {
    return std::isfinite(value) ? value : 0.0;
}

bool Finite(const SkinParams& p) {
    for (double value : {p.strokeWidth, p.cornerRadius, p.ringShare, p.ringShading, p.faceGradient, p.lightX, p.lightY,
                         p.lightRadius, p.lightStrength}) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

}  // namespace

CButtonSkin::CButtonSkin() {
    if (qGuiApp != nullptr) {
        params_.surroundColors.fill(QGuiApplication::palette().color(QPalette::Button).rgb());
    }
}

void CButtonSkin::SetSkinParams(const SkinParams& params) {
    params_ = params;
    generated_ = false;
}

const QImage& CButtonSkin::GetSkinBitmap() {
    if (!generated_) {
        Generate();
        // A failed generation keeps the old image and is not retried until the parameters change.
        generated_ = true;
    }
    return skinBitmap_;
}

bool CButtonSkin::Generate() {
    const SkinParams& p = params_;
    if (!Finite(p)) {
        return false;
    }
    const double R = p.cornerRadius;
    const double Wd = p.strokeWidth;
    const double q = Clamp((1.0 - p.ringShare) * R, 0.0, R);
    const double half = std::ceil(R + 0.5 * Wd);
    if (!(half >= 0.0 && half <= kMaxHalfSize)) {
        return false;
    }
    const int N = static_cast<int>(half);
    const int cell = 2 * N + 1;
    QImage image(cell, kSkinStateCount * cell, QImage::Format_RGB32);
    if (image.isNull()) {
        return false;
    }
    halfSize_ = N;

    for (int y = -N; y <= N; ++y) {
        for (int x = -N; x <= N; ++x) {
            const double d = std::sqrt(double(x) * x + double(y) * y);
            const double t = 2.0 * (d - R) / Wd;
            const double o = Weight(Clamp(t + 0.5, 0.0, 1.0));
            const double k = Clamp(0.5 - t, 0.0, 1.0);
            const double u = (q + R - 2.0 * d) / (R - q);
            const double r = 1.0 - p.ringShading * u * u;
            const double m = Clamp(2.0 * (d - q) / Wd + 0.5, 0.0, 1.0);
            const double Z = Weight(m * k * r);
            const double v = Clamp(0.5 - 2.0 * (d - q) / Wd, 0.0, 1.0);
            const double dq2 = (d / q) * (d / q);
            const double g =
                p.faceGradient > 0.0 ? 1.0 - p.faceGradient * dq2 : 1.0 + p.faceGradient - p.faceGradient * dq2;
            const double L = std::sqrt((x - p.lightX) * (x - p.lightX) + (y - p.lightY) * (y - p.lightY));
            const double h = Clamp(1.0 - p.faceGradient * L / p.lightRadius, -1.0, 1.0);
            const double Y = Weight(g * v * (1.0 + p.lightStrength * h));

            for (int s = 0; s < kSkinStateCount; ++s) {
                const QRgb face = p.faceColors[s];
                const QRgb frame = p.frameColors[s];
                const QRgb surround = p.surroundColors[s];
                const int red = Channel(Y * qRed(face) + Z * qRed(frame) + o * qRed(surround));
                const int green = Channel(Y * qGreen(face) + Z * qGreen(frame) + o * qGreen(surround));
                const int blue = Channel(Y * qBlue(face) + Z * qBlue(frame) + o * qBlue(surround));
                image.setPixel(x + N, y + N + s * cell, qRgb(red, green, blue));
            }
        }
    }
    skinBitmap_ = image;
    return true;
}

}  // namespace tarvane
