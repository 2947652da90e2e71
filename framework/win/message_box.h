// Message boxes with one OK button.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

enum class MsgIcon { Warning, Information };

// Shows `prompt` under `title` with an OK button and the icon, modal to `owner` (may be null).
// Returns when the box is closed. Window thread.
void MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title, MsgIcon icon);

}  // namespace fw
