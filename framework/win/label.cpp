#include "framework/win/label.h"

#include "framework/win/gdi.h"

namespace fw {

namespace {

constexpr wchar_t kClassName[] = L"fw.Label";

// Text extent of one line of `text` in `font`: width of the text, height of a line.
SIZE LineExtent(HWND hwnd, HFONT font, const std::wstring& text) {
    WindowDc dc(hwnd);
    SelectGuard select(dc.Get(), font ? font : GetStockObject(SYSTEM_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.Get(), &metrics);
    return {size.cx, metrics.tmHeight};
}

}  // namespace

void Label::Create(HWND parent, const PixelRect& rect, const std::wstring& caption, HFONT font) {
    RegisterClassOnce(kClassName, 0, nullptr);
    CreateWindowOfClass(kClassName, WS_CHILD | WS_VISIBLE, 0, caption, rect, parent);
    font_ = font;
    AutoSize();
}

void Label::SetCaption(const std::wstring& caption) {
    SetText(caption);
    AutoSize();
}

void Label::SetEnabled(bool enabled) {
    EnableWindow(Hwnd(), enabled);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Label::AutoSize() {
    const SIZE size = LineExtent(Hwnd(), font_, Text());
    // Shrinking uncovers part of the container, which the system then repaints.
    SetWindowPos(Hwnd(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void Label::OnPaint() {
    PaintScope paint(Hwnd());
    const HDC dc = paint.Dc();
    RECT client{};
    GetClientRect(Hwnd(), &client);
    // The container's own background, as a transparent label shows it.
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(Hwnd()), WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(Hwnd())));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    SelectGuard select(dc, font_ ? font_ : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    const std::wstring caption = Text();
    if (IsWindowEnabled(Hwnd())) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        TextOutW(dc, 0, 0, caption.c_str(), static_cast<int>(caption.size()));
    } else {
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.c_str()),
                   static_cast<WPARAM>(caption.size()), 0, 0, 0, 0, DST_TEXT | DSS_DISABLED);
    }
}

LRESULT Label::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // painted with the caption, without flicker
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wParam);
            AutoSize();
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        default:
            return Default(msg, wParam, lParam);
    }
}

}  // namespace fw
