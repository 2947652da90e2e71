#include "tests/windows/support/window_probe.h"

#include "framework/win/gdi.h"
#include "framework/win/window.h"

namespace testing_support {

HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const HWND found = FindWindowW(nullptr, title.c_str());
        if (found && IsWindowVisible(found)) return found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

namespace {

// EnumChildWindows' callback (a Windows calling convention, hence no lambda): gathers the texts
// of static controls into the std::wstring at `out`.
BOOL CALLBACK AddStaticText(HWND child, LPARAM out) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    const std::wstring text = fw::WindowText(child);
    if (lstrcmpiW(cls, L"Static") == 0 && !text.empty()) {
        auto& all = *reinterpret_cast<std::wstring*>(out);
        if (!all.empty()) all += L'\n';
        all += text;
    }
    return TRUE;
}

}  // namespace

std::wstring StaticTexts(HWND window) {
    std::wstring texts;
    EnumChildWindows(window, AddStaticText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

COLORREF ScreenPixel(HWND window, int x, int y) {
    fw::WindowDc dc(window);
    return GetPixel(dc.Get(), x, y);
}

}  // namespace testing_support
