#include "framework/win/unhandled_error.h"

#include <windows.h>

#include <new>

#include "framework/errors.h"
#include "framework/win/process.h"
#include "framework/win/text.h"

namespace fw {

namespace {

constexpr int kOutOfMemory = 7;

// Decimal digits of a non-negative number (std::to_wstring would pull the whole printf family
// into the program).
std::wstring Decimal(int number) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + number % 10));
        number /= 10;
    } while (number > 0);
    return digits;
}

std::wstring RunTimeError(int number, const std::wstring& text) {
    return L"Run-time error '" + Decimal(number) + L"':\n\n" + text;
}

}  // namespace

std::wstring UnhandledErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        return RunTimeError(static_cast<int>(e.code()), Widen(e.what()));
    } catch (const std::bad_alloc&) {
        return RunTimeError(kOutOfMemory, L"Out of memory");
    } catch (const std::exception& e) {
        return L"Run-time error:\n\n" + Widen(e.what());
    } catch (...) {
        return L"Run-time error:\n\nUnknown error";
    }
}

std::wstring ProgramName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, n);
    const auto slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

void ReportUnhandledError() noexcept {
    std::wstring text = L"Run-time error";
    std::wstring title = L"Error";
    try {
        text = UnhandledErrorText(std::current_exception());
        title = ProgramName();
    } catch (...) {
        // Keep the plain texts: nothing may escape from here.
    }
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    End(kUnhandledErrorExitCode);
}

}  // namespace fw
