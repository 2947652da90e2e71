// Program entry: hands over to Module1's Main; an error that nothing else catches ends here.
#include <windows.h>

#include "app/module1.h"
#include "framework/win/unhandled_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    fw::Guarded([] { app::Main(); });
    return 0;  // not reached: the program ends from inside Main
}
