// Reads windows from the Windows side, as UI-automation tools do: run under wine64 in the same
// prefix as the program, it prints what the windows say. Output is UTF-8, one line per window.
//
//   window_texts texts TITLE    the top-level window titled TITLE and its controls, as
//                               "Class|text|enabled|visible" (nothing and exit 1 if no such window)
//   window_texts dialog TEXT    the title of the visible dialog box that shows TEXT in a control
//   window_texts focus          where keys go: the title of the foreground window, then its
//                               focused control as "Class|text" (an empty line when none)
//   window_texts list           every top-level window with its controls, for a failure report:
//                               "HANDLE pid=PID [foreground] Class|text|enabled|visible", each
//                               control indented below its window
//
// A window whose text cannot be read (its thread does not answer in time) is reported on stderr
// and makes the exit status 3, so that an empty text is never mistaken for what a window says.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool g_unreadable = false;

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out.c_str();
}

void PrintUtf8(const std::wstring& line) {
    std::printf("%s\n", Utf8(line).c_str());
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return cls;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    // WM_GETTEXT reaches across processes; GetWindowText would not for other processes' controls.
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        const DWORD error = GetLastError();
        // A window destroyed meanwhile has nothing left to say; anything else is a failed read.
        if (IsWindow(hwnd)) {
            g_unreadable = true;
            std::fprintf(stderr, "window_texts: WM_GETTEXT to %p (%s) failed, error %lu\n",
                         static_cast<void*>(hwnd), Utf8(ClassOf(hwnd)).c_str(), error);
        }
        return L"";
    }
    return text;
}

std::wstring Describe(HWND hwnd) {
    return ClassOf(hwnd) + L"|" + TextOf(hwnd) + L"|" +
           (IsWindowEnabled(hwnd) ? L"enabled" : L"disabled") + L"|" +
           (IsWindowVisible(hwnd) ? L"visible" : L"hidden");
}

int Status(int found) {
    return g_unreadable ? 3 : found;
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
    return Status(0);
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
            if (!IsWindowVisible(top) || ClassOf(top) != L"#32770") return TRUE;
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
    if (!search.found) return Status(1);
    PrintUtf8(TextOf(search.found));
    return Status(0);
}

std::wstring Handle(HWND hwnd) {
    wchar_t text[32] = {};
    swprintf(text, 32, L"%p", static_cast<void*>(hwnd));
    return text;
}

int Focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const HWND foreground = GetForegroundWindow();
    if (!foreground) return 1;
    PrintUtf8(TextOf(foreground));
    const DWORD thread = GetWindowThreadProcessId(foreground, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) {
        PrintUtf8(ClassOf(info.hwndFocus) + L"|" + TextOf(info.hwndFocus));
    } else {
        PrintUtf8(L"");
    }
    return Status(0);
}

// The Windows names of the keys that the desktop holds down, on one line.
std::wstring KeysDown() {
    std::wstring keys;
    for (int vk = 1; vk < 256; ++vk) {
        if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) continue;
        if (!(GetAsyncKeyState(vk) & 0x8000)) continue;
        wchar_t name[64] = {};
        const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
        if (!GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 64))
            swprintf(name, 64, L"vk %d", vk);
        keys += keys.empty() ? name : L" " + std::wstring(name);
    }
    return keys.empty() ? L"none" : keys;
}

int List() {
    PrintUtf8(L"keys down: " + KeysDown());
    EnumWindows(
        [](HWND top, LPARAM) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(top, &pid);
            // Wine's own helper windows (clipboard, IME, message-only) say nothing useful.
            if (!IsWindowVisible(top) && GetWindowTextLengthW(top) == 0) return TRUE;
            PrintUtf8(Handle(top) + L" pid=" + std::to_wstring(pid) +
                      (GetForegroundWindow() == top ? L" foreground " : L" ") + Describe(top));
            EnumChildWindows(
                top,
                [](HWND child, LPARAM) -> BOOL {
                    PrintUtf8(L"    " + Handle(child) + L" " + Describe(child));
                    return TRUE;
                },
                0);
            return TRUE;
        },
        0);
    return Status(0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"texts") return Texts(argv[2]);
    if (argc == 3 && std::wstring(argv[1]) == L"dialog") return Dialog(argv[2]);
    if (argc == 2 && std::wstring(argv[1]) == L"focus") return Focus();
    if (argc == 2 && std::wstring(argv[1]) == L"list") return List();
    std::fprintf(stderr, "usage: window_texts texts TITLE | dialog TEXT | focus | list\n");
    return 2;
}
