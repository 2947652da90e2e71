// The intro show and the program's main loop: stars flying out of the centre of the picture box
// with the logo drawn over them every frame, and the window's events served between frames.
#pragma once

#include <windows.h>

#include "gfx/random_draws.h"

namespace gfx {

// What the starfield needs of the main window and its drawing stage (Picture1).
class StarfieldStage {
  public:
    virtual ~StarfieldStage() = default;
    virtual void ShowModeless() = 0;  // shows the window: its load and activate events run
    virtual void DoEvents() = 0;      // runs the handlers of all pending window events
    virtual int ScaleWidth() = 0;     // Picture1's inner drawing size, pixels
    virtual int ScaleHeight() = 0;
    virtual int OuterWidth() = 0;  // Picture1's outer size, border included
    virtual int OuterHeight() = 0;
    virtual HDC Dc() = 0;        // device context of Picture1's persistent backing image
    virtual void Refresh() = 0;  // shows the backing image on screen
};

// Shows the window, seeds the stars and runs the frame loop, taking every random value from
// `draws` (the program passes its own generator, ProgramDraws). Never returns: the program ends
// from inside the event pump (the window's unload event). Window thread.
[[noreturn]] void InitStarfield(StarfieldStage& stage, RandomDraws& draws);

}  // namespace gfx
