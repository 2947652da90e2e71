#include "app/user_dialogs.h"

#include "framework/win/automation.h"

namespace app {

namespace {
constexpr int kNoOwner = 0;
constexpr int kReturnOnlyFileSystemFolders = 1;  // BIF_RETURNONLYFSDIRS
}  // namespace

void ShellDialogs::MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                          fw::MsgIcon icon) {
    fw::MsgBox(owner, prompt, title, icon);
}

std::optional<std::wstring> ShellDialogs::BrowseForFolder(const std::wstring& title) {
    const fw::AutoObject shell = fw::CreateObject(L"Shell.Application");
    // No root folder: the browser starts at the desktop.
    const fw::Variant folder = shell.Call(
        L"BrowseForFolder",
        {fw::Variant(kNoOwner), fw::Variant(title), fw::Variant(kReturnOnlyFileSystemFolders)});
    if (folder.IsNothing()) return std::nullopt;
    const fw::Variant item = folder.AsObject().Get(L"Self");
    return item.AsObject().Get(L"Path").AsString();
}

}  // namespace app
