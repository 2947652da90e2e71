#include "app/form1.h"

#include "app/form1_stage.h"
#include "framework/win/process.h"
#include "framework/win/twips.h"
#include "player/output/player.h"

namespace app {

namespace {
constexpr int kClientWidthTwips = 4920;
constexpr int kClientHeightTwips = 2940;
constexpr int kRegular = FW_NORMAL;
}  // namespace

Form1::Form1(UserDialogs& dialogs)
    : fw::Form(fw::TwipsToPixelsX(kClientWidthTwips), fw::TwipsToPixelsY(kClientHeightTwips)),
      FormFont(L"Lucida Console", 9, kRegular, ANSI_CHARSET),
      Picture1Font(L"MS Sans Serif", 8.25, kRegular, ANSI_CHARSET),
      PathFont(L"Tahoma", 8.25, kRegular, ANSI_CHARSET),
      settings_(*this, dialogs) {}

void Form1::Form_Initialize() {
    Form1Stage stage(*this);
    gfx::InitStarfield(stage);
}

void Form1::Form_Load() {
    SetCaption(kWindowTitle);
    Path_Text.SetText(fw::Environ(L"ProgramFiles") + L"\\" + kDefaultFolderName);
    Lang_Combo.SetText(L"English");
}

void Form1::Form_Activate() {
    Lit_ini();
    SetVolume(40);
    PlaySong(reinterpret_cast<const void*>(1), 0, 0);
}

void Form1::Form_Unload(int& cancel) {
    (void)cancel;  // left as it is: the program ends here
    fw::End();
}

}  // namespace app
