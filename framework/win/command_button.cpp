#include "framework/win/command_button.h"

namespace fw {

void CommandButton::Create(HWND parent, const PixelRect& rect, const std::wstring& caption,
                           HFONT font) {
    CreateSystemControl(L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, caption, rect,
                        parent);
    SetWindowFont(Hwnd(), font);
}

void CommandButton::OnNotify(WORD code) {
    if (code == BN_CLICKED && Click) Click();
}

}  // namespace fw
