#include "app/module1.h"

#include <windows.h>
#include <objidl.h>  // needed by gdiplus.h under WIN32_LEAN_AND_MEAN
#include <gdiplus.h>

#include "app/form1.h"
#include "app/user_dialogs.h"

namespace app {

void Main() {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    // A failed start is not examined: the image routines then fail on their own.
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    // Both live until the process ends; nothing is ever torn down.
    auto* dialogs = new ShellDialogs;
    auto* form = new Form1(*dialogs);
    form->Form_Initialize();
}

}  // namespace app
