// When a frame may end, on a 32-bit millisecond tick count that wraps.
#pragma once

#include <cstdint>

namespace gfx {

// A frame ends once the tick count has moved more than this many milliseconds past its start.
inline constexpr uint32_t kFrameMinimum_ms = 5;

// True once `now_ms` is more than 5 ms past `frameStart_ms`. Works on the unsigned difference, so
// the frame neither ends early nor stalls when the counter wraps or crosses 2^31.
bool FrameOver(uint32_t frameStart_ms, uint32_t now_ms);

// Milliseconds to wait before FrameOver can become true; 0 once it is.
uint32_t FrameRemaining_ms(uint32_t frameStart_ms, uint32_t now_ms);

}  // namespace gfx
