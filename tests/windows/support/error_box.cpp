#include "tests/windows/support/error_box.h"

#include <windows.h>

#include <cstdio>
#include <thread>

#include "framework/win/unhandled_error.h"
#include "tests/windows/support/window_probe.h"

namespace testing_support {

void AnswerErrorBox() {
    std::thread user([] {
        if (HWND box = WaitForWindow(fw::ProgramName(), 10000)) {
            std::fprintf(stderr, "box: %ls\n", StaticTexts(box).c_str());
            std::fflush(stderr);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    user.detach();
}

}  // namespace testing_support
