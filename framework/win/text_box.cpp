#include "framework/win/text_box.h"

namespace fw {

void TextBox::Create(HWND parent, const PixelRect& rect, bool visible, HFONT font) {
    const DWORD style = WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT | (visible ? WS_VISIBLE : 0);
    CreateSystemControl(L"EDIT", style, WS_EX_CLIENTEDGE, L"", rect, parent);
    // An edit control limits its text to 30,000 characters unless told otherwise.
    SendMessageW(Hwnd(), EM_SETLIMITTEXT, 0, 0);
    SetWindowFont(Hwnd(), font);
}

}  // namespace fw
