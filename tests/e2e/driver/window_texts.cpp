// Reads windows from the Windows side, as UI-automation tools do: run under wine64 in the same
// prefix as the program, it prints what the windows say. Output is UTF-8, one line per window.
//
//   window_texts texts TITLE    the top-level window titled TITLE and its controls, as
//                               "Class|text|enabled|visible" (nothing and exit 1 if no such window)
//   window_texts dialog TEXT    the title of the visible dialog box that shows TEXT in a control
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void PrintUtf8(const std::wstring& line) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, out.data(), n, nullptr, nullptr);
    std::printf("%s\n", out.c_str());
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    // WM_GETTEXT reaches across processes; GetWindowText would not for other processes' controls.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return text;
}

std::wstring Describe(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return std::wstring(cls) + L"|" + TextOf(hwnd) + L"|" +
           (IsWindowEnabled(hwnd) ? L"enabled" : L"disabled") + L"|" +
           (IsWindowVisible(hwnd) ? L"visible" : L"hidden");
}

int Texts(const std::wstring& title) {
    const HWND top = FindWindowW(nullptr, title.c_str());
    if (!top) return 1;
    PrintUtf8(Describe(top));
    EnumChildWindows(
        top,
        [](HWND child, LPARAM) -> BOOL {
            PrintUtf8(Describe(child));
            return TRUE;
        },
        0);
    return 0;
}

struct DialogSearch {
    std::wstring text;
    HWND found = nullptr;
};

int Dialog(const std::wstring& text) {
    DialogSearch search{text};
    EnumWindows(
        [](HWND top, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<DialogSearch*>(data);
            wchar_t cls[16] = {};
            GetClassNameW(top, cls, 16);
            if (!IsWindowVisible(top) || std::wstring(cls) != L"#32770") return TRUE;
            EnumChildWindows(
                top,
                [](HWND child, LPARAM d) -> BOOL {
                    auto& inner = *reinterpret_cast<DialogSearch*>(d);
                    if (TextOf(child).find(inner.text) == std::wstring::npos) return TRUE;
                    inner.found = GetAncestor(child, GA_ROOT);
                    return FALSE;
                },
                data);
            return s.found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 1;
    PrintUtf8(TextOf(search.found));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"texts") return Texts(argv[2]);
    if (argc == 3 && std::wstring(argv[1]) == L"dialog") return Dialog(argv[2]);
    std::fprintf(stderr, "usage: window_texts texts TITLE | dialog TEXT\n");
    return 2;
}
