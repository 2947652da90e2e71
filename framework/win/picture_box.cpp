#include "framework/win/picture_box.h"

#include "framework/win/control.h"

namespace fw {

namespace {
constexpr wchar_t kClassName[] = L"fw.PictureBox";
// A stage keeps a device context of its own: it is copied to the screen every frame, and a
// common one would have its visible region worked out anew each time it is fetched.
constexpr wchar_t kStageClassName[] = L"fw.PictureBox.Stage";
}  // namespace

void PictureBox::Create(HWND parent, const PixelRect& rect, const PictureBoxStyle& style,
                        HFONT font) {
    style_ = style;
    font_ = font;
    backgroundBrush_.Reset(CreateSolidBrush(style.background));
    const wchar_t* className = style.autoRedraw ? kStageClassName : kClassName;
    RegisterClassOnce(className, style.autoRedraw ? CS_OWNDC : 0, nullptr);
    const DWORD windowStyle =
        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    CreateWindowOfClass(className, windowStyle, 0, L"", rect, parent);
    if (style.autoRedraw) {
        image_ = std::make_unique<BackingImage>(ScaleWidth(), ScaleHeight(), style.background);
        SetTextColor(image_->Dc(), style.foreground);
        SetBkColor(image_->Dc(), style.background);
        SelectObject(image_->Dc(), font);
    }
}

HDC PictureBox::Dc() {
    if (image_) return image_->Dc();
    if (!windowDc_) windowDc_ = std::make_unique<WindowDc>(Hwnd());
    return windowDc_->Get();
}

void PictureBox::Refresh() {
    if (!image_) {
        InvalidateRect(Hwnd(), nullptr, FALSE);
        UpdateWindow(Hwnd());
        return;
    }
    // A paint that is still pending copies the same image again; validating here would cost a
    // further call to the window system on every frame.
    RECT client{};
    GetClientRect(Hwnd(), &client);
    HDC dc = GetDC(Hwnd());
    image_->CopyTo(dc, client);
    ReleaseDC(Hwnd(), dc);
}

void PictureBox::OnPaint() {
    PaintScope paint(Hwnd());
    if (image_) image_->CopyTo(paint.Dc(), paint.Dirty());
}

LRESULT PictureBox::OnEraseBackground(HDC dc) {
    // With a backing image painting covers every pixel, so erasing first would only flicker.
    if (image_) return 1;
    RECT client{};
    GetClientRect(Hwnd(), &client);
    FillRect(dc, &client, backgroundBrush_.Get());
    return 1;
}

LRESULT PictureBox::OnControlColour(HDC dc) {
    SetBkColor(dc, style_.background);
    SetTextColor(dc, style_.foreground);
    return reinterpret_cast<LRESULT>(backgroundBrush_.Get());
}

LRESULT PictureBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBackground(reinterpret_cast<HDC>(wParam));
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam));
        case WM_COMMAND:
            if (ForwardCommand(wParam, lParam)) return 0;
            return Default(msg, wParam, lParam);
        case WM_LBUTTONDOWN:
            SetFocus(Hwnd());
            return 0;
        default:
            return Default(msg, wParam, lParam);
    }
}

}  // namespace fw
