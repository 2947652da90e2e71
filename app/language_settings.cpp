// The tool's job: reading and writing the game's language setting (key Language of section
// Settings in the game folder's steam_api.ini). The file is read afresh every time and is never
// created: a write happens only after a read has found the key.
#include <windows.h>

#include <algorithm>

#include "app/language_settings.h"

namespace app {

namespace {

constexpr wchar_t kSection[] = L"Settings";
constexpr wchar_t kKey[] = L"Language";
constexpr wchar_t kReadDefault[] = L"Language not found";
constexpr wchar_t kFileName[] = L"\\steam_api.ini";
// Room for 254 characters and the terminating NUL: longer values come back cut.
constexpr DWORD kReadBufferChars = 255;

std::wstring BrowseTitle() {
    return std::wstring(L"Select the game folder (") + kDefaultFolderName +
           L") in the list below, then click OK.";
}

}  // namespace

void LanguageSettings::Lit_ini() {
    std::wstring buffer(kReadBufferChars, L' ');
    // The folder is used as it is: a drive root gives two separators in a row, which the
    // profile functions accept.
    const std::wstring path = fields_.Folder() + kFileName;
    const DWORD copied = GetPrivateProfileStringW(kSection, kKey, kReadDefault, buffer.data(),
                                                  kReadBufferChars, path.c_str());
    fields_.SetLanguageCaption(kLabelPrefix +
                               buffer.substr(0, std::min<size_t>(copied, buffer.size())));
}

void LanguageSettings::boite_dialogue() {
    const auto folder = dialogs_.BrowseForFolder(BrowseTitle());
    if (!folder) return;  // cancelled: folder and label stay as they were
    fields_.SetFolder(*folder);
    Lit_ini();
    if (!SettingShown()) {
        WarnFileNotFound();
        boite_dialogue();
    }
}

void LanguageSettings::Command1_Click() {
    Lit_ini();
    if (SettingShown()) {
        const std::wstring language = fields_.ChosenLanguage();
        const std::wstring path = fields_.Folder() + kFileName;
        const BOOL written =
            WritePrivateProfileStringW(kSection, kKey, language.c_str(), path.c_str());
        // A failed write (read-only file, no rights) says nothing; the label keeps the value read.
        if (written) {
            dialogs_.MsgBox(fields_.DialogOwner(), L"Sucess!", L"Sucess!!!",
                            fw::MsgIcon::Information);
            Lit_ini();
        }
        return;
    }
    WarnFileNotFound();
    boite_dialogue();
    // A folder with the setting was picked: the nested call writes there and confirms.
    if (SettingShown()) Command1_Click();
}

void LanguageSettings::WarnFileNotFound() {
    dialogs_.MsgBox(fields_.DialogOwner(), L"File not found!", L"Error!!!", fw::MsgIcon::Warning);
}

}  // namespace app
