// Program entry: hands over to Module1's Main; an error that nothing else catches ends here.
#include <windows.h>

#include <cstdlib>

#include "app/module1.h"
#include "framework/win/unhandled_error.h"

// Every exception is caught before it could reach std::terminate, so the C++ runtime's verbose
// terminate handler (with its symbol demangler, about a sixth of the program) is replaced by a
// plain abort.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    fw::Guarded([] { app::Main(); });
    return 0;  // not reached: the program ends from inside Main
}
