// Base of the framework's own window classes: the object is attached to its window at creation
// (GWLP_USERDATA) and receives the window's messages in OnMessage. An error raised in a handler
// shows its box and ends the program from there (framework/errors.h).
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// A rectangle in pixels: left, top, width, height.
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class Window {
  public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The window, or null before creation and after destruction.
    HWND Hwnd() const { return hwnd_; }

    // The window's text (caption) and its replacement. Window thread.
    std::wstring Text() const;
    void SetText(const std::wstring& text);

  protected:
    Window() = default;
    virtual ~Window();

    // Registers a window class of ours once per process (idempotent). Raises PlatformCallFailed on
    // failure.
    static void RegisterClassOnce(const wchar_t* className, UINT classStyle, HBRUSH background);

    // Creates the window of class `className` (registered before) with this object attached.
    // Raises PlatformCallFailed on failure.
    void CreateWindowOfClass(const wchar_t* className, DWORD style, DWORD exStyle,
                             const std::wstring& text, const PixelRect& rect, HWND parent);

    // Handles one message; the default is DefWindowProcW.
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// Text of any window (the framework's or a system control). Window thread.
std::wstring WindowText(HWND hwnd);

// Size of a window's client area and of its whole window, in pixels.
SIZE ClientSize(HWND hwnd);
SIZE OuterSize(HWND hwnd);

}  // namespace fw
