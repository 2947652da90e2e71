// The last stage of block rendering: 32-bit accumulator sums to 16-bit output samples.
#pragma once

#include <cstdint>

#include "player/mixer/mixer_options.h"

namespace xm {

// One accumulator sum to an output sample: |sum| / 16320 rounded (remainder 8160 and up counts
// one more), clamped to 32767, times `masterVolume` (1..32768, unity 32768) >> 15, sign restored.
// Never gives -32768.
int16_t ConvertSample(int32_t sum, uint32_t masterVolume);

// Converts `frames` interleaved left/right sums into `output` and returns the levels value:
// average left magnitude << 16 | average right magnitude (sums divided by 1024, as for a block).
// Uses the vector loops unless `options` rule them out.
uint32_t ConvertBlock(const int32_t* accumulator, int16_t* output, uint32_t frames,
                      uint32_t masterVolume, const MixerOptions& options);

}  // namespace xm
