#include "gfx/frame_pacing.h"

namespace gfx {

bool FrameOver(uint32_t frameStart_ms, uint32_t now_ms) {
    return now_ms - frameStart_ms > kFrameMinimum_ms;
}

uint32_t FrameRemaining_ms(uint32_t frameStart_ms, uint32_t now_ms) {
    const uint32_t elapsed_ms = now_ms - frameStart_ms;
    return elapsed_ms > kFrameMinimum_ms ? 0 : kFrameMinimum_ms + 1 - elapsed_ms;
}

}  // namespace gfx
