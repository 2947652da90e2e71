// Program entry: hands over to Module1's Main. The program ends from inside it: through the
// window's unload event, or through the box of an error raised anywhere (framework/errors.h).
#include <windows.h>

#include "app/module1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    app::Main();
    return 0;  // not reached
}
