#include "framework/win/pump.h"

#include <windows.h>

#include "framework/win/form.h"

namespace fw {

namespace {

// Keys that the form handles itself before the focused control sees them.
bool PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    Form* form = Form::Of(msg.hwnd);
    if (!form) return false;
    form->TabToNext(GetKeyState(VK_SHIFT) < 0);
    return true;
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
