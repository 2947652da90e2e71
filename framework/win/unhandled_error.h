// The end of a raised error in the Windows build: a message box naming the error, owned by no
// window, then the end of the process. Nothing is unwound: the box shows where the error is
// raised, over a window thread that has stopped in the middle of its work.
#pragma once

#include <string>

#include "framework/errors.h"

namespace fw {

// The box's prompt for an error, e.g. "Run-time error '6':\n\nOverflow", or
// "Run-time error:\n\n<detail>" for an Unnumbered one.
std::wstring UnhandledErrorText(ErrorCode code, const char* detail = nullptr);

// Title of the error box: the program's file name without its extension.
std::wstring ProgramName();

}  // namespace fw
