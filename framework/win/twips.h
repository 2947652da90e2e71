// Layout values are stored in twips (1/1440 inch) and placed in pixels at the screen's resolution.
#pragma once

namespace fw {

inline constexpr int kTwipsPerInch = 1440;

// Pixels for a length in twips at `dotsPerInch`, rounded to nearest (ties to even).
int TwipsToPixels(int twips, int dotsPerInch);

// The screen's resolution, dots per inch, horizontally and vertically.
int ScreenDpiX();
int ScreenDpiY();

// TwipsToPixels at the screen's resolution.
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);

}  // namespace fw
