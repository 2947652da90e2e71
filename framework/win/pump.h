// The event pump of the window thread.
#pragma once

namespace fw {

// Runs the handlers of all pending window events (including those they post), then returns.
// Within a form, Tab and Shift+Tab move the focus and Return presses the focused push button.
// Window thread.
void DoEvents();

// Blocks until a new event arrives for the window thread. Window thread.
void WaitForEvents();

}  // namespace fw
