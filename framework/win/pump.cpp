#include "framework/win/pump.h"

#include <windows.h>

#include "framework/win/form.h"

namespace fw {

namespace {

bool IsPushButton(HWND hwnd) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    const auto type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    return lstrcmpiW(cls, L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// Keys that a form handles itself before the focused control sees them, as a dialog does: Tab
// and Shift+Tab move the focus, Return presses the focused push button.
bool PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    Form* form = Form::Of(msg.hwnd);
    if (!form) return false;
    if (msg.wParam == VK_TAB) {
        form->TabToNext(GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (msg.wParam == VK_RETURN && IsPushButton(msg.hwnd)) {
        SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return false;
}

}  // namespace

void DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the request for whoever runs the outermost loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void WaitForEvents() {
    WaitMessage();
}

}  // namespace fw
