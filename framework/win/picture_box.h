// A picture box: a bordered child window that is either a plain panel holding other controls,
// or a drawing stage with a persistent backing image (auto-redraw). Both measure in pixels.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/win/backing_image.h"
#include "framework/win/gdi.h"
#include "framework/win/window.h"

namespace fw {

struct PictureBoxStyle {
    COLORREF background = GetSysColor(COLOR_BTNFACE);
    COLORREF foreground = GetSysColor(COLOR_WINDOWTEXT);
    bool autoRedraw = false;  // keep a backing image that drawing goes into
};

class PictureBox : public Window {
  public:
    PictureBox() = default;

    // Creates the box at `rect` (outer size, one-pixel border included). With auto-redraw the
    // backing image starts filled with the background colour. Raises PlatformCallFailed on failure.
    void Create(HWND parent, const PixelRect& rect, const PictureBoxStyle& style, HFONT font);

    // Inner drawing size and outer size (border included), in pixels.
    int ScaleWidth() const { return ClientSize(Hwnd()).cx; }
    int ScaleHeight() const { return ClientSize(Hwnd()).cy; }
    int Width() const { return OuterSize(Hwnd()).cx; }
    int Height() const { return OuterSize(Hwnd()).cy; }

    // Where drawing goes: the backing image with auto-redraw, the window itself without.
    HDC Dc();
    // Shows the backing image on screen now.
    void Refresh();

    HFONT Font() const { return font_; }

  private:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnPaint();
    LRESULT OnEraseBackground(HDC dc);
    LRESULT OnControlColour(HDC dc);

    PictureBoxStyle style_;
    GdiObject<HBRUSH> backgroundBrush_;
    std::unique_ptr<BackingImage> image_;
    std::unique_ptr<WindowDc> windowDc_;
    HFONT font_ = nullptr;
};

}  // namespace fw
