// A label: one line of text that sizes itself to its caption (auto-size) and paints no
// background of its own, so its container's background shows around the letters. A disabled
// label draws its caption in the system's disabled-text style.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win/window.h"

namespace fw {

class Label : public Window {
  public:
    Label() = default;

    // Creates the label at `rect`'s position inside `parent`; its size then follows the caption.
    // Raises PlatformCallFailed on failure. Window thread.
    void Create(HWND parent, const PixelRect& rect, const std::wstring& caption, HFONT font);

    std::wstring Caption() const { return Text(); }
    // Replaces the caption and resizes the label to it.
    void SetCaption(const std::wstring& caption);

    void SetEnabled(bool enabled);

  private:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnPaint();
    void AutoSize();

    HFONT font_ = nullptr;
};

}  // namespace fw
