// The error box as the user meets it, for death tests of the unhandled-error path.
#pragma once

namespace testing_support {

// Starts a "user" thread that waits (up to 10 s) for the error box of this program, writes its
// prompt to stderr as "box: <prompt>\n" and presses OK. Call in the child of a death test, before
// the statement that raises the error.
void AnswerErrorBox();

}  // namespace testing_support
