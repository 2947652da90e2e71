// The main window's controls: kinds, places (stored in twips, placed in pixels at the screen's
// resolution), fonts, colours, captions and tab order.
#include "app/form1.h"

#include "framework/win/twips.h"

namespace app {

namespace {

fw::PixelRect Twips(int left, int top, int width, int height) {
    return {fw::TwipsToPixelsX(left), fw::TwipsToPixelsY(top), fw::TwipsToPixelsX(width),
            fw::TwipsToPixelsY(height)};
}

}  // namespace

void Form1::CreateControls() {
    const HFONT font = FormFont.Get();

    fw::PictureBoxStyle stage;
    stage.background = GetSysColor(COLOR_WINDOWTEXT);
    stage.foreground = GetSysColor(COLOR_WINDOWTEXT);
    stage.autoRedraw = true;
    Picture1.Create(Hwnd(), Twips(60, 60, 4800, 1455), stage, Picture1Font.Get());

    fw::PictureBoxStyle panel;  // face colour, window-text drawing colour
    Picture2.Create(Hwnd(), Twips(60, 1560, 4800, 1320), panel, font);

    const HWND inPanel = Picture2.Hwnd();
    Lang_Combo.Create(inPanel, Twips(1260, 600, 2100, 300), {L"English", L"German"}, font);
    Command1.Create(inPanel, Twips(3510, 600, 1200, 300), L"Apply", font);
    Command1.Click = [this] { Command1_Click(); };
    Lang_label.Create(inPanel, Twips(60, 240, 3885, 180), kNotFoundCaption, font);
    Label2.Create(inPanel, Twips(60, 660, 1050, 180), L"Language :", font);
    Name_Label.Create(inPanel, Twips(60, 1080, 1470, 180), L"Tobrevin - 2013", font);
    Name_Label.SetEnabled(false);

    Path_Text.Create(Hwnd(), Twips(240, 720, 3855, 300), false, PathFont.Get());

    SetTabOrder({Picture1.Hwnd(), Picture2.Hwnd(), Lang_Combo.Hwnd(), Command1.Hwnd(),
                 Lang_label.Hwnd(), Label2.Hwnd(), Path_Text.Hwnd(), Name_Label.Hwnd()});
}

}  // namespace app
