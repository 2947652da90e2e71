#include "framework/errors.h"

namespace fw {

const char* ErrorText(ErrorCode code) {
    switch (code) {
        case ErrorCode::Overflow:
            return "Overflow";
        case ErrorCode::SubscriptOutOfRange:
            return "Subscript out of range";
        case ErrorCode::DivisionByZero:
            return "Division by zero";
        case ErrorCode::ObjectRequired:
            return "Object required";
        case ErrorCode::CannotCreateObject:
            return "ActiveX component can't create object";
        case ErrorCode::PlatformCallFailed:
            return "Invalid procedure call or argument";
    }
    return "Application-defined or object-defined error";
}

AppError::AppError(ErrorCode code) : std::runtime_error(ErrorText(code)), code_(code) {}

AppError::AppError(ErrorCode code, const std::string& detail)
    : std::runtime_error(std::string(ErrorText(code)) + ": " + detail), code_(code) {}

void Raise(ErrorCode code) {
    throw AppError(code);
}

}  // namespace fw
