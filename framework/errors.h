// Run-time errors that the window and graphics code do not handle themselves. Nothing handles
// them anywhere: raising one ends the program where it is raised, the Windows build first
// showing a box that names the error. So the program needs no unwinding of the stack.
#pragma once

namespace fw {

// Numbers and texts as the form framework reports them in its error box.
enum class ErrorCode : int {
    // A failure of the C++ library itself, known by its text alone ("Run-time error:").
    Unnumbered = 0,
    PlatformCallFailed = 5,  // "Invalid procedure call or argument"
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    ObjectRequired = 424,
    CannotCreateObject = 429,
};

// Exit code of a program ended by a raised error.
inline constexpr unsigned kUnhandledErrorExitCode = 1;

// Text shown for an error code, e.g. "Overflow" (empty for Unnumbered).
const char* ErrorText(ErrorCode code);

// Raises `code`: the error box (Windows) or a message on the standard error (natively), then the
// end of the process with kUnhandledErrorExitCode. `detail` (ASCII, may be null) names what
// failed and follows the error's text: "Invalid procedure call or argument: backing image".
// Any thread.
[[noreturn]] void Raise(ErrorCode code, const char* detail = nullptr);

// What a raised error runs instead of the platform's ending; it must not return. Tests only:
// for example one that throws, to look at the state an error leaves behind.
using RaiseHandler = void (*)(ErrorCode code, const char* detail);
// Installs `handler` (null: the platform's ending again); returns the one it replaces.
RaiseHandler SetRaiseHandler(RaiseHandler handler);

// The platform's ending of a raised error; Raise's default. Defined by the Windows framework
// (the error box) and natively in errors.cpp.
[[noreturn]] void EndWithError(ErrorCode code, const char* detail);

}  // namespace fw
