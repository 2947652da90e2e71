// The per-frame decisions about the logo: its opacity, whether to decode it anew, and where.
#pragma once

#include <cstdint>

#include "gfx/random_draws.h"

namespace gfx {

struct LogoFrame {
    float opacity;  // alpha factor for the logo's coloured pixels, in [0, 1)
    bool reload;    // decode the logo again from the resource this frame
    int32_t x;      // centre in the picture box, pixels
    int32_t y;
};

// Reseeds the draws, then takes the opacity and the reload draw (reload when it rounds to 0, so
// about every second frame), and centres the logo on the picture box's outer size in pixels.
// Raises Overflow only for sizes beyond 32 bits.
LogoFrame NextLogoFrame(RandomDraws& draws, int32_t outerWidth_px, int32_t outerHeight_px);

}  // namespace gfx
