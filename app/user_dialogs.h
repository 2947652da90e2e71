// What the language settings show the user: message boxes and the folder browser. Behind an
// interface so that tests can answer in place of a person.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "framework/win/message_box.h"

namespace app {

class UserDialogs {
  public:
    virtual ~UserDialogs() = default;

    // A message box with one OK button, modal to `owner`; returns when closed. Window thread.
    virtual void MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                        fw::MsgIcon icon) = 0;

    // The folder browser, owned by no window, with `title` above the folder tree; only
    // file-system folders can be confirmed. Returns the path picked, or nothing when the user
    // cancels. Raises an error when the shell's browser cannot be used. Window thread.
    virtual std::optional<std::wstring> BrowseForFolder(const std::wstring& title) = 0;
};

// The real dialogs: system message boxes and the shell's folder browser, reached late-bound
// through a new "Shell.Application" object for every browse.
class ShellDialogs : public UserDialogs {
  public:
    void MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                fw::MsgIcon icon) override;
    std::optional<std::wstring> BrowseForFolder(const std::wstring& title) override;
};

}  // namespace app
