// The tool's job: reading and writing the game's language setting (key Language of section
// Settings in the game folder's steam_api.ini), over the texts the window shows. Apart from the
// window so that it can be exercised against real settings files without drawing anything.
#pragma once

#include <windows.h>

#include <string>

#include "app/user_dialogs.h"

namespace app {

inline constexpr wchar_t kDefaultFolderName[] = L"Vledraskon";
inline constexpr wchar_t kLabelPrefix[] = L"Current Language : ";
inline constexpr wchar_t kNotFoundCaption[] = L"Current Language : Language not found";

// What the settings read and set on the window: the game folder (kept in an invisible text
// box), the language chosen, the current-language caption (which alone carries whether the
// setting was found), and the window that owns the message boxes.
class SettingsFields {
  public:
    virtual ~SettingsFields() = default;
    virtual std::wstring Folder() const = 0;
    virtual void SetFolder(const std::wstring& folder) = 0;
    virtual std::wstring ChosenLanguage() const = 0;
    virtual std::wstring LanguageCaption() const = 0;
    virtual void SetLanguageCaption(const std::wstring& caption) = 0;
    virtual HWND DialogOwner() const = 0;
};

class LanguageSettings {
  public:
    // Both must outlive the object.
    LanguageSettings(SettingsFields& fields, UserDialogs& dialogs)
        : fields_(fields), dialogs_(dialogs) {}

    // Reads the setting of the folder into the caption.
    void Lit_ini();
    // Lets the user pick the game folder until one holds the setting, or cancel.
    void boite_dialogue();
    // "Apply": writes the language chosen, browsing for the game folder first if need be.
    void Command1_Click();

  private:
    bool SettingShown() const { return fields_.LanguageCaption() != kNotFoundCaption; }
    void WarnFileNotFound();

    SettingsFields& fields_;
    UserDialogs& dialogs_;
};

}  // namespace app
