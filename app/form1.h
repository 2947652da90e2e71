// The main window: a black stage for the intro show above a panel with the current language,
// the choice of language and the "Apply" button. The game folder is kept in an invisible text
// box; whether the setting was found is carried by the current-language label alone.
#pragma once

#include <string>

#include "app/language_settings.h"
#include "app/user_dialogs.h"
#include "framework/win/combo_box.h"
#include "framework/win/command_button.h"
#include "framework/win/font.h"
#include "framework/win/form.h"
#include "framework/win/label.h"
#include "framework/win/picture_box.h"
#include "framework/win/text_box.h"

namespace app {

inline constexpr wchar_t kWindowTitle[] = L"Veldraskon - Language Selector *Multi 2*";

class Form1 : public fw::Form, private SettingsFields {
  public:
    // The window object; its window and controls are made when it is first shown (or loaded).
    // `dialogs` answers the message boxes and the folder browser and must outlive the form.
    explicit Form1(UserDialogs& dialogs);

    // Initialise event: shows the window and serves its events until the program ends.
    [[noreturn]] void Form_Initialize();

    // Reads the setting of the folder in Path_Text into Lang_label's caption.
    void Lit_ini() { settings_.Lit_ini(); }
    // Lets the user pick the game folder until one holds the setting, or cancel.
    void boite_dialogue() { settings_.boite_dialogue(); }
    // "Apply": writes the language chosen, browsing for the game folder first if need be.
    void Command1_Click() { settings_.Command1_Click(); }

    // Fonts first: the controls draw with them.
    fw::Font FormFont;
    fw::Font Picture1Font;
    fw::Font PathFont;

    // Containers before their controls.
    fw::PictureBox Picture1;
    fw::PictureBox Picture2;
    fw::ComboBox Lang_Combo;
    fw::CommandButton Command1;
    fw::Label Lang_label;
    fw::Label Label2;
    fw::Label Name_Label;
    fw::TextBox Path_Text;

  private:
    void CreateControls() override;
    void OnLoad() override { Form_Load(); }
    void OnActivate() override { Form_Activate(); }
    void OnUnload(int& cancel) override { Form_Unload(cancel); }

    void Form_Load();
    void Form_Activate();
    [[noreturn]] void Form_Unload(int& cancel);

    // The settings' fields are the controls.
    std::wstring Folder() const override { return Path_Text.Text(); }
    void SetFolder(const std::wstring& folder) override { Path_Text.SetText(folder); }
    std::wstring ChosenLanguage() const override { return Lang_Combo.Text(); }
    std::wstring LanguageCaption() const override { return Lang_label.Caption(); }
    void SetLanguageCaption(const std::wstring& caption) override {
        Lang_label.SetCaption(caption);
    }
    HWND DialogOwner() const override { return Hwnd(); }

    LanguageSettings settings_;
};

}  // namespace app
