#include "framework/win/form.h"

#include <algorithm>

#include "framework/win/control.h"
#include "framework/win/pump.h"

namespace fw {

namespace {

constexpr wchar_t kClassName[] = L"fw.Form";
constexpr wchar_t kFormProperty[] = L"fw.Form";
// Posted to the form so that the activate event runs from the event pump, not from inside the
// system's activation sequence.
constexpr UINT kActivateEvent = WM_APP + 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

bool CanTakeFocus(HWND hwnd) {
    return IsWindow(hwnd) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) &&
           (GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) != 0;
}

// Centred on the work area, with the frame around a client area of the given size.
PixelRect FrameFor(int clientWidth, int clientHeight) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    return {work.left + (work.right - work.left - width) / 2,
            work.top + (work.bottom - work.top - height) / 2, width, height};
}

}  // namespace

Form::Form(int clientWidth, int clientHeight)
    : clientWidth_(clientWidth), clientHeight_(clientHeight) {}

void Form::Load() {
    if (Loaded()) return;
    RegisterClassOnce(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE));
    CreateWindowOfClass(kClassName, kStyle, 0, L"", FrameFor(clientWidth_, clientHeight_), nullptr);
    SetPropW(Hwnd(), kFormProperty, this);
    CreateControls();
    OnLoad();
}

void Form::ShowModeless() {
    Load();
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(Hwnd());
    SetActiveWindow(Hwnd());
    // Normally WM_ACTIVATE has asked for the event by now; a window that the system would not
    // bring to the front (no focus on the desktop) still gets its activate event after a show.
    RequestActivateEvent();
}

void Form::ShowModal() {
    ShowModeless();
    while (Loaded()) {
        DoEvents();
        if (Loaded()) WaitForEvents();
    }
}

Form* Form::Of(HWND hwnd) {
    if (!hwnd) return nullptr;
    return static_cast<Form*>(GetPropW(GetAncestor(hwnd, GA_ROOT), kFormProperty));
}

void Form::TabToNext(bool backwards) {
    if (tabOrder_.empty()) return;
    const auto count = static_cast<std::ptrdiff_t>(tabOrder_.size());
    const auto current = std::find(tabOrder_.begin(), tabOrder_.end(), GetFocus());
    std::ptrdiff_t index =
        current == tabOrder_.end() ? (backwards ? 0 : -1) : current - tabOrder_.begin();
    for (std::ptrdiff_t step = 0; step < count; ++step) {
        index = (index + (backwards ? count - 1 : 1)) % count;
        const HWND candidate = tabOrder_[static_cast<size_t>(index)];
        if (CanTakeFocus(candidate)) {
            SetFocus(candidate);
            return;
        }
    }
}

void Form::FocusFirstTabStop() {
    for (HWND hwnd : tabOrder_) {
        if (CanTakeFocus(hwnd)) {
            SetFocus(hwnd);
            return;
        }
    }
}

void Form::RequestActivateEvent() {
    if (activation_ != Activation::NotYet) return;
    activation_ = Activation::Pending;
    PostMessageW(Hwnd(), kActivateEvent, 0, 0);
}

void Form::OnActivateMessage(WORD state) {
    if (state == WA_INACTIVE) {
        lastFocus_ = GetFocus();
        return;
    }
    // Give the focus back where it was, or to the first control in tab order.
    if (lastFocus_ && IsWindow(lastFocus_) && IsChild(Hwnd(), lastFocus_)) {
        SetFocus(lastFocus_);
    } else {
        FocusFirstTabStop();
    }
    RequestActivateEvent();
}

void Form::OnActivateEvent() {
    if (activation_ != Activation::Pending) return;
    activation_ = Activation::Done;
    OnActivate();
}

void Form::OnClose() {
    int cancel = 0;
    OnUnload(cancel);
    if (cancel == 0) DestroyWindow(Hwnd());
}

LRESULT Form::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            OnActivateMessage(LOWORD(wParam));
            return 0;
        case kActivateEvent:
            OnActivateEvent();
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_COMMAND:
            if (ForwardCommand(wParam, lParam)) return 0;
            return Default(msg, wParam, lParam);
        case WM_CTLCOLORSTATIC:
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_DESTROY:
            RemovePropW(Hwnd(), kFormProperty);
            return 0;
        default:
            return Default(msg, wParam, lParam);
    }
}

}  // namespace fw
