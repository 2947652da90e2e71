// Run-time errors that the window and graphics code do not handle themselves. One of these ends
// the program through the unhandled-error path (a message box naming the error, then exit).
#pragma once

#include <stdexcept>
#include <string>

namespace fw {

// Numbers and texts as the form framework reports them in its error box.
enum class ErrorCode : int {
    Overflow = 6,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    ObjectRequired = 424,
    CannotCreateObject = 429,
    PlatformCallFailed = 5,  // "Invalid procedure call or argument"
};

// Text shown for an error code, e.g. "Overflow".
const char* ErrorText(ErrorCode code);

class AppError : public std::runtime_error {
  public:
    explicit AppError(ErrorCode code);
    AppError(ErrorCode code, const std::string& detail);
    ErrorCode code() const { return code_; }

  private:
    ErrorCode code_;
};

// Throws AppError(code). Callers on the window's thread let it reach the unhandled-error path.
[[noreturn]] void Raise(ErrorCode code);

}  // namespace fw
