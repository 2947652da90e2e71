#include "gfx/logo_frame.h"

#include "framework/rounding.h"

namespace gfx {

LogoFrame NextLogoFrame(RandomDraws& draws, int32_t outerWidth_px, int32_t outerHeight_px) {
    draws.Reseed();
    LogoFrame frame{};
    frame.opacity = draws.Draw();
    frame.reload = fw::RoundToInt32(draws.Draw()) == 0;
    frame.x = fw::RoundToInt32(outerWidth_px / 2.0);
    frame.y = fw::RoundToInt32(outerHeight_px / 2.0);
    return frame;
}

}  // namespace gfx
