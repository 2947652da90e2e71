// Looking at windows as the user would: finding a top-level window by title from another
// thread, reading the text of its static controls, pressing its buttons.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Waits up to `timeoutMs` for a visible top-level window with exactly this title; null if none.
HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs);

// The texts of a window's static children (a message box's prompt), joined with '\n'.
std::wstring StaticTexts(HWND window);

// Reads the pixel colour shown on screen at a point of a window's client area.
COLORREF ScreenPixel(HWND window, int x, int y);

}  // namespace testing_support
