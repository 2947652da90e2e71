#include "framework/win/combo_box.h"

#include "framework/errors.h"

namespace fw {

namespace {
constexpr int kListRows = 8;  // height of the dropped-down list, in item rows
}

void ComboBox::Create(HWND parent, const PixelRect& rect, const std::vector<std::wstring>& items,
                      HFONT font) {
    const DWORD style = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS;
    PixelRect withList = rect;
    withList.height = rect.height * (kListRows + 1);
    CreateSystemControl(L"COMBOBOX", style, 0, L"", withList, parent);
    SetWindowFont(Hwnd(), font);
    for (const auto& item : items) {
        SendMessageW(Hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
}

int ComboBox::Count() const {
    return static_cast<int>(SendMessageW(Hwnd(), CB_GETCOUNT, 0, 0));
}

std::wstring ComboBox::Item(int index) const {
    const auto length = SendMessageW(Hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto n = SendMessageW(Hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(text.data()));
    text.resize(n == CB_ERR ? 0 : static_cast<size_t>(n));
    return text;
}

std::wstring ComboBox::Text() const {
    const auto selected = SendMessageW(Hwnd(), CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? std::wstring() : Item(static_cast<int>(selected));
}

void ComboBox::SetText(const std::wstring& text) {
    // CB_FINDSTRINGEXACT ignores case; the list's own texts are matched exactly instead.
    for (int i = 0, n = Count(); i < n; ++i) {
        if (Item(i) == text) {
            SendMessageW(Hwnd(), CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
    Raise(ErrorCode::PlatformCallFailed, "text is not an item of the list");
}

}  // namespace fw
