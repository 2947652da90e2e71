// The program's C++ runtime hooks (app/cxx_runtime.cpp) as the program links them, without the
// test framework (which brings the standard hooks). Run with the failure to provoke: "new",
// "aligned-new" or "length"; "nothrow-new" asks for the same sizes without raising and prints
// what it got; "none" allocates normally and ends with 0. A watching thread reads the error
// box, prints "box: <prompt>" and presses OK; the exit code is the program's.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "framework/errors.h"
#include "framework/win/process.h"
#include "framework/win/unhandled_error.h"

namespace {

BOOL CALLBACK PrintStatic(HWND child, LPARAM) {
    wchar_t cls[16] = {};
    wchar_t text[1024] = {};
    GetClassNameW(child, cls, 16);
    if (lstrcmpiW(cls, L"Static") == 0 && GetWindowTextW(child, text, 1024) > 0) {
        std::printf("box: %ls\n", text);
    }
    return TRUE;
}

DWORD WINAPI AnswerBox(LPVOID) {
    const std::wstring title = fw::ProgramName();
    for (int i = 0; i < 500; ++i) {
        const HWND box = FindWindowW(nullptr, title.c_str());
        if (box && IsWindowVisible(box)) {
            EnumChildWindows(box, PrintStatic, 0);
            std::fflush(stdout);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}

// Sizes no allocator can give, hidden from the optimiser.
volatile std::size_t hugeBytes = ~std::size_t{0} / 2 + 1;
volatile std::size_t hugeCount = ~std::size_t{0} / 2;

}  // namespace

int main(int argc, char** argv) {
    const char* failure = argc > 1 ? argv[1] : "none";
    CloseHandle(CreateThread(nullptr, 0, AnswerBox, nullptr, 0, nullptr));
    if (std::strcmp(failure, "new") == 0) {
        std::printf("got %p\n", static_cast<void*>(new char[hugeBytes]));
    } else if (std::strcmp(failure, "aligned-new") == 0) {
        struct alignas(64) Line {
            char bytes[64];
        };
        std::printf("got %p\n", static_cast<void*>(new Line[hugeBytes / 64]));
    } else if (std::strcmp(failure, "nothrow-new") == 0) {
        char* block = new (std::nothrow) char[hugeBytes];
        struct alignas(64) Line {
            char bytes[64];
        };
        Line* lines = new (std::nothrow) Line[hugeBytes / 64];
        std::printf("nothrow %s %s\n", block ? "block" : "null", lines ? "block" : "null");
    } else if (std::strcmp(failure, "length") == 0) {
        std::vector<int> numbers;
        numbers.reserve(hugeCount);
        std::printf("reserved %u\n", static_cast<unsigned>(numbers.capacity()));
    } else {
        std::vector<int> numbers(1000, 7);
        auto* aligned = new (std::align_val_t{64}) int[16];
        std::printf("allocated %d %d\n", numbers[999],
                    static_cast<int>(reinterpret_cast<std::uintptr_t>(aligned) % 64));
        ::operator delete[](aligned, std::align_val_t{64});
    }
    std::fflush(stdout);
    fw::End(0);
}
