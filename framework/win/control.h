// Child controls of the system's classes (combo box, button, edit). The object is attached to
// its window through a window property, so that a container can hand it the notifications the
// control sends to its parent.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win/window.h"

namespace fw {

class Control {
  public:
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND Hwnd() const { return hwnd_; }
    bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    void SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled); }
    bool Visible() const { return IsWindowVisible(hwnd_) != FALSE; }

    // The object of a control window made by this framework, or null.
    static Control* FromHwnd(HWND hwnd);

  protected:
    Control() = default;
    virtual ~Control();

    // Creates the control window as a child of `parent`. Raises PlatformCallFailed on failure.
    void CreateSystemControl(const wchar_t* className, DWORD style, DWORD exStyle,
                             const std::wstring& text, const PixelRect& rect, HWND parent);

    // A notification code (WM_COMMAND's high word) from this control; the default ignores it.
    virtual void OnNotify(WORD code);

    friend bool ForwardCommand(WPARAM wParam, LPARAM lParam);

  private:
    HWND hwnd_ = nullptr;
};

// Hands a WM_COMMAND that a container received to the control that sent it. Returns true when a
// control of ours took it. Window thread.
bool ForwardCommand(WPARAM wParam, LPARAM lParam);

// Sets the font a window draws its text with (the caller keeps the font alive).
void SetWindowFont(HWND hwnd, HFONT font);

}  // namespace fw
