// Window layouts are written in twips (1/1440 inch), so a form keeps its
// physical size on screens of any density. These convert to and from pixels
// at a given logical DPI: at 96 DPI one pixel is 15 twips.
#pragma once

#include <cmath>

namespace ui {

inline constexpr double kTwipsPerInch = 1440.0;

// Pixels covering `twips` at `dpi`, rounded to the nearest whole pixel (halves
// away from zero). A DPI of 0 or less gives 0.
inline int TwipsToPixels(int twips, double dpi) {
  if (!(dpi > 0.0)) return 0;
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

// Twips covered by `pixels` at `dpi`, rounded to the nearest whole twip. A DPI
// of 0 or less gives 0.
inline int PixelsToTwips(int pixels, double dpi) {
  if (!(dpi > 0.0)) return 0;
  return static_cast<int>(std::lround(pixels * kTwipsPerInch / dpi));
}

}  // namespace ui
