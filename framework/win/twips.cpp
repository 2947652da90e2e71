#include "framework/win/twips.h"

#include <windows.h>

#include "framework/rounding.h"
#include "framework/win/gdi.h"

namespace fw {

int TwipsToPixels(int twips, int dotsPerInch) {
    return RoundToInt32(static_cast<double>(twips) * dotsPerInch / kTwipsPerInch);
}

namespace {

int ScreenCaps(int index) {
    WindowDc screen(nullptr);
    return GetDeviceCaps(screen.Get(), index);
}

}  // namespace

int ScreenDpiX() {
    return ScreenCaps(LOGPIXELSX);
}
int ScreenDpiY() {
    return ScreenCaps(LOGPIXELSY);
}
int TwipsToPixelsX(int twips) {
    return TwipsToPixels(twips, ScreenDpiX());
}
int TwipsToPixelsY(int twips) {
    return TwipsToPixels(twips, ScreenDpiY());
}

}  // namespace fw
