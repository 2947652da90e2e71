// Stands in for the person at the screen: records every message box and folder browser the
// program opens, and answers the browsers from a prepared list (cancel once it runs out).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/user_dialogs.h"

namespace testing_support {

class RecordingDialogs : public app::UserDialogs {
  public:
    struct Box {
        HWND owner;
        std::wstring prompt;
        std::wstring title;
        fw::MsgIcon icon;
    };

    void MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                fw::MsgIcon icon) override;
    std::optional<std::wstring> BrowseForFolder(const std::wstring& title) override;

    // Folders the browser "picks", in order; nothing in the list means cancel.
    std::deque<std::optional<std::wstring>> answers;

    // Everything shown, in order: "Title: prompt" for a box, "browse" for a folder browser.
    std::vector<std::wstring> log;
    std::vector<Box> boxes;
    std::vector<std::wstring> browseTitles;
};

}  // namespace testing_support
