#include "framework/win/message_box.h"

namespace fw {

void MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title, MsgIcon icon) {
    const UINT iconFlag = icon == MsgIcon::Warning ? MB_ICONEXCLAMATION : MB_ICONINFORMATION;
    MessageBoxW(owner, prompt.c_str(), title.c_str(), MB_OK | iconFlag);
}

}  // namespace fw
