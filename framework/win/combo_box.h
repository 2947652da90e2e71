// A drop-down-list combo box: the user picks one item of a fixed list; its text is always the
// item picked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win/control.h"

namespace fw {

class ComboBox : public Control {
  public:
    ComboBox() = default;

    // Creates the box at `rect` with the items in order; the closed box's height is the
    // system's for the font; the dropped-down list has room for eight rows of `rect`'s height.
    // Raises PlatformCallFailed on failure. Window thread.
    void Create(HWND parent, const PixelRect& rect, const std::vector<std::wstring>& items,
                HFONT font);

    // The text of the item selected; empty text when none is.
    std::wstring Text() const;
    // Selects the item whose text equals `text` exactly. A text that is no item of the list
    // raises PlatformCallFailed, with the selection as it was.
    void SetText(const std::wstring& text);

    int Count() const;
    std::wstring Item(int index) const;
};

}  // namespace fw
