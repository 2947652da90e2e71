#include "framework/errors.h"

#include <cstdlib>

#ifndef _WIN32
#include <cstdio>
#endif

namespace fw {

namespace {
RaiseHandler installedHandler = nullptr;
}

const char* ErrorText(ErrorCode code) {
    switch (code) {
        case ErrorCode::Unnumbered:
            return "";
        case ErrorCode::PlatformCallFailed:
            return "Invalid procedure call or argument";
        case ErrorCode::Overflow:
            return "Overflow";
        case ErrorCode::OutOfMemory:
            return "Out of memory";
        case ErrorCode::SubscriptOutOfRange:
            return "Subscript out of range";
        case ErrorCode::DivisionByZero:
            return "Division by zero";
        case ErrorCode::ObjectRequired:
            return "Object required";
        case ErrorCode::CannotCreateObject:
            return "ActiveX component can't create object";
    }
    return "Application-defined or object-defined error";
}

void Raise(ErrorCode code, const char* detail) {
    if (RaiseHandler handler = installedHandler) handler(code, detail);
    EndWithError(code, detail);
}

RaiseHandler SetRaiseHandler(RaiseHandler handler) {
    const RaiseHandler previous = installedHandler;
    installedHandler = handler;
    return previous;
}

#ifndef _WIN32
// Natively (tests and tools) the box's text goes to the standard error.
void EndWithError(ErrorCode code, const char* detail) {
    if (code == ErrorCode::Unnumbered) {
        std::fprintf(stderr, "Run-time error:\n\n%s\n", detail ? detail : "");
    } else {
        std::fprintf(stderr, "Run-time error '%d':\n\n%s%s%s\n", static_cast<int>(code),
                     ErrorText(code), detail ? ": " : "", detail ? detail : "");
    }
    std::fflush(stderr);
    std::_Exit(static_cast<int>(kUnhandledErrorExitCode));
}
#endif

}  // namespace fw
