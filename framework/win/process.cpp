#include "framework/win/process.h"

#include <windows.h>

namespace fw {

void End(unsigned exitCode) {
    // TerminateProcess rather than ExitProcess: the latter would still run DLL detach code and,
    // with it, the C runtime's exit handlers.
    TerminateProcess(GetCurrentProcess(), exitCode);
    for (;;) Sleep(INFINITE);  // termination of the calling thread is asynchronous
}

std::wstring Environ(const std::wstring& name) {
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n =
            GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};  // unset (or set to empty text)
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);  // n is the size needed, terminating NUL included
    }
}

}  // namespace fw
