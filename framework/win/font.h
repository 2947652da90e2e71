// Fonts by face name and size in points, made for the screen's resolution.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win/gdi.h"

namespace fw {

// Owns one GDI font. Points are converted to a character height at the screen's resolution
// (9 points at 96 dpi: 12 pixels). Raises PlatformCallFailed when the font cannot be made.
class Font {
  public:
    Font(const std::wstring& face, double points, int weight, BYTE charset);
    HFONT Get() const { return font_.Get(); }

  private:
    GdiObject<HFONT> font_;
};

}  // namespace fw
