// Start-up.
#pragma once

namespace app {

// Starts GDI+ and creates the main window, whose initialise event then runs the program until
// it ends. Never returns. Window thread (the process's first thread).
[[noreturn]] void Main();

}  // namespace app
