// A push button with a click event.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/win/control.h"

namespace fw {

class CommandButton : public Control {
  public:
    CommandButton() = default;

    // Creates the button. Raises PlatformCallFailed on failure. Window thread.
    void Create(HWND parent, const PixelRect& rect, const std::wstring& caption, HFONT font);

    // Runs when the button is pressed (mouse, keyboard, BM_CLICK), on the window thread.
    std::function<void()> Click;

  private:
    void OnNotify(WORD code) override;
};

}  // namespace fw
