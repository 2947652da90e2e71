// Raised errors: their numbers and texts, their end (natively a message on the standard error
// and the unhandled-error exit code; the Windows box is tested on the Windows side), and the
// tests' own raise handler.
#include <gtest/gtest.h>

#include <string>

#include "framework/errors.h"
#include "tests/native/support/raised_errors.h"

namespace {

TEST(Errors, NumbersAndTexts) {
    struct Case {
        fw::ErrorCode code;
        int number;
        const char* text;
    };
    const Case cases[] = {
        {fw::ErrorCode::PlatformCallFailed, 5, "Invalid procedure call or argument"},
        {fw::ErrorCode::Overflow, 6, "Overflow"},
        {fw::ErrorCode::OutOfMemory, 7, "Out of memory"},
        {fw::ErrorCode::SubscriptOutOfRange, 9, "Subscript out of range"},
        {fw::ErrorCode::DivisionByZero, 11, "Division by zero"},
        {fw::ErrorCode::ObjectRequired, 424, "Object required"},
        {fw::ErrorCode::CannotCreateObject, 429, "ActiveX component can't create object"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(c.code), c.number);
        EXPECT_STREQ(fw::ErrorText(c.code), c.text);
    }
}

TEST(ErrorsDeathTest, ARaisedErrorEndsTheProgramNamingIt) {
    EXPECT_EXIT(fw::Raise(fw::ErrorCode::Overflow),
                testing::ExitedWithCode(fw::kUnhandledErrorExitCode),
                "Run-time error '6':\n\nOverflow\n");
    EXPECT_EXIT(fw::Raise(fw::ErrorCode::PlatformCallFailed, "backing image"),
                testing::ExitedWithCode(fw::kUnhandledErrorExitCode),
                "Run-time error '5':\n\nInvalid procedure call or argument: backing image\n");
    EXPECT_EXIT(fw::Raise(fw::ErrorCode::Unnumbered, "basic_string::_M_create"),
                testing::ExitedWithCode(fw::kUnhandledErrorExitCode),
                "Run-time error:\n\nbasic_string::_M_create\n");
}

TEST(ErrorsDeathTest, AHandlerThatReturnsStillEndsTheProgram) {
    EXPECT_EXIT(
        {
            fw::SetRaiseHandler([](fw::ErrorCode, const char*) {});
            fw::Raise(fw::ErrorCode::DivisionByZero);
        },
        testing::ExitedWithCode(fw::kUnhandledErrorExitCode), "Run-time error '11'");
}

TEST(ErrorsDeathTest, TheTestsHandlerReportsTheErrorAndTheStateLeft) {
    int steps = 0;
    EXPECT_EXIT(testing_support::RaiseIn(
                    [&] {
                        ++steps;
                        fw::Raise(fw::ErrorCode::Overflow, "detail");
                    },
                    [&] { return std::to_string(steps) + " step"; }),
                testing_support::EndedByError(),
                testing_support::RaisedPattern(fw::ErrorCode::Overflow, "detail", "1 step"));
    EXPECT_EXIT(testing_support::RaiseIn([] {}), testing::ExitedWithCode(0), "no error raised");
}

TEST(Errors, InstallingAHandlerGivesBackTheOneBefore) {
    const fw::RaiseHandler handler = [](fw::ErrorCode, const char*) {};
    EXPECT_EQ(fw::SetRaiseHandler(handler), nullptr);
    EXPECT_EQ(fw::SetRaiseHandler(nullptr), handler);
}

}  // namespace
