#pragma once

#include <QColor>

// The palette every picture is drawn from: the category bar's orange on white.
namespace artwork {

inline const QColor kOrange{248, 124, 0};
inline const QColor kOrangeDark{214, 98, 0};
inline const QColor kOrangeLight{255, 163, 64};
inline const QColor kOrangeTint{255, 243, 230};
inline const QColor kOrangePressed{255, 224, 194};
inline const QColor kRed{229, 70, 14};
inline const QColor kGreen{9, 109, 30};
inline const QColor kWhite{255, 255, 255};
inline const QColor kText{58, 58, 58};
inline const QColor kLine{238, 222, 206};
inline const QColor kBorder{228, 196, 164};

inline constexpr char kFontFamily[] = "WenQuanYi Micro Hei";

// Where the window's parts fall on the 983 x 611 background (dialog units x 1.5).
inline constexpr int kWidth = 983;
inline constexpr int kHeight = 611;
inline constexpr int kTitleBottom = 42;
inline constexpr int kToolbarBottom = 106;
inline constexpr int kCategoryTop = 106;
inline constexpr int kCategoryBottom = 146;

}  // namespace artwork
