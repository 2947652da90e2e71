#include "framework/win/control.h"

#include "framework/errors.h"

namespace fw {

namespace {
constexpr wchar_t kObjectProperty[] = L"fw.Control";
}

Control::~Control() {
    if (hwnd_) {
        RemovePropW(hwnd_, kObjectProperty);
        DestroyWindow(hwnd_);
    }
}

Control* Control::FromHwnd(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropW(hwnd, kObjectProperty)) : nullptr;
}

void Control::CreateSystemControl(const wchar_t* className, DWORD style, DWORD exStyle,
                                  const std::wstring& text, const PixelRect& rect, HWND parent) {
    hwnd_ = CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD, rect.left, rect.top,
                            rect.width, rect.height, parent, nullptr, GetModuleHandleW(nullptr),
                            nullptr);
    if (!hwnd_) Raise(ErrorCode::PlatformCallFailed, "CreateWindowEx");
    SetPropW(hwnd_, kObjectProperty, this);
}

void Control::OnNotify(WORD) {}

bool ForwardCommand(WPARAM wParam, LPARAM lParam) {
    Control* control = Control::FromHwnd(reinterpret_cast<HWND>(lParam));
    if (!control) return false;
    control->OnNotify(HIWORD(wParam));
    return true;
}

void SetWindowFont(HWND hwnd, HFONT font) {
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

}  // namespace fw
