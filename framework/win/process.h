// Ending the program and reading its environment.
#pragma once

#include <string>

namespace fw {

// Ends the process at once: no destructor, exit handler or further code of the program runs;
// threads and devices end with the process. Any thread.
[[noreturn]] void End(unsigned exitCode = 0);

// The value of an environment variable; an unset variable gives empty text. Any thread.
std::wstring Environ(const std::wstring& name);

}  // namespace fw
