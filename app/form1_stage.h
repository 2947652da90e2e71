// The main window as the intro show's stage: the window's show and event pump, and Picture1's
// sizes, backing image and refresh.
#pragma once

#include "app/form1.h"
#include "gfx/win/starfield.h"

namespace app {

class Form1Stage : public gfx::StarfieldStage {
  public:
    explicit Form1Stage(Form1& form) : form_(form) {}

    void ShowModeless() override;
    void DoEvents() override;
    int ScaleWidth() override { return form_.Picture1.ScaleWidth(); }
    int ScaleHeight() override { return form_.Picture1.ScaleHeight(); }
    int OuterWidth() override { return form_.Picture1.Width(); }
    int OuterHeight() override { return form_.Picture1.Height(); }
    HDC Dc() override { return form_.Picture1.Dc(); }
    void Refresh() override { form_.Picture1.Refresh(); }

  private:
    Form1& form_;
};

}  // namespace app
