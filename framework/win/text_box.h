// A one-line text box; the program may keep it invisible and use it as a store of text.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win/control.h"

namespace fw {

class TextBox : public Control {
  public:
    TextBox() = default;

    // Creates the box, shown or not. Raises PlatformCallFailed on failure. Window thread.
    void Create(HWND parent, const PixelRect& rect, bool visible, HFONT font);

    std::wstring Text() const { return WindowText(Hwnd()); }
    void SetText(const std::wstring& text) { SetWindowTextW(Hwnd(), text.c_str()); }
};

}  // namespace fw
