// The path of an error that no handler catches: a message box naming the error, then the end of
// the program. Every window procedure and the start-up routine end here instead of letting a C++
// exception cross a Win32 frame.
#pragma once

#include <exception>
#include <string>

namespace fw {

// Exit code of a program ended by an unhandled error.
inline constexpr unsigned kUnhandledErrorExitCode = 1;

// The box's prompt for an error, e.g. "Run-time error '6':\n\nOverflow".
std::wstring UnhandledErrorText(const std::exception_ptr& error);

// Title of the error box: the program's file name without its extension.
std::wstring ProgramName();

// Shows the error box for the exception being handled (call inside a catch block), owned by no
// window, then ends the process. Window thread.
[[noreturn]] void ReportUnhandledError() noexcept;

// Runs `body`; an exception escaping it takes the unhandled-error path.
template <typename Body>
auto Guarded(Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        ReportUnhandledError();
    }
}

}  // namespace fw
