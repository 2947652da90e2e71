// Raised errors in tests. The program never unwinds: a raised error ends it where it is raised
// (framework/errors.h), and the 32-bit program's code carries no unwind tables. So a test meets
// an error in a child process (a death test). There a test-only raise handler reports the error,
// with the test's account of the state that the error left behind, on stderr as
// "raised <number>: <detail>; <state>", and ends the child with the unhandled-error exit code.
//
//   EXPECT_EXIT(RaiseIn([&] { field.DrawStars(pixels, draws); }, [&] { return Count(pixels); }),
//               EndedByError(), RaisedPattern(fw::ErrorCode::Overflow, "", "1 pixel"));
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "framework/errors.h"

namespace testing_support {

// The child's account of the state after the error (empty: none).
inline std::function<std::string()>& StateAfterError() {
    static std::function<std::string()> describe;
    return describe;
}

[[noreturn]] inline void ReportRaisedError(fw::ErrorCode code, const char* detail) {
    const std::string state = StateAfterError() ? StateAfterError()() : std::string();
    std::fprintf(stderr, "raised %d: %s; %s\n", static_cast<int>(code), detail ? detail : "",
                 state.c_str());
    std::fflush(stderr);
    std::_Exit(static_cast<int>(fw::kUnhandledErrorExitCode));
}

// The child's side: runs `action` with raised errors reported as above; an action that raises
// nothing ends the child with exit code 0 and "no error raised".
[[noreturn]] inline void RaiseIn(const std::function<void()>& action,
                                 const std::function<std::string()>& state = {}) {
    StateAfterError() = state;
    fw::SetRaiseHandler(&ReportRaisedError);
    action();
    std::fprintf(stderr, "no error raised\n");
    std::fflush(stderr);
    std::_Exit(0);
}

// How a child that met an error ends.
inline testing::ExitedWithCode EndedByError() {
    return testing::ExitedWithCode(static_cast<int>(fw::kUnhandledErrorExitCode));
}

// The report of `code` with `detail` and the state text (plain texts, no pattern characters).
inline std::string RaisedPattern(fw::ErrorCode code, const std::string& detail = "",
                                 const std::string& state = "") {
    return "raised " + std::to_string(static_cast<int>(code)) + ": " + detail + "; " + state + "\n";
}

}  // namespace testing_support
