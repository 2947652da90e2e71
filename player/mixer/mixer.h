// The voice mixer: adds every playing voice of a song into the block accumulator.
#pragma once

#include <cstdint>

#include "player/mixer/mixer_options.h"
#include "player/song/records.h"

namespace xm {

// Mixes `frames` frames (1..1024) of every voice of `module`, in voice-array order, adding into
// `accumulator` (left, right interleaved 32-bit sums, pointing at the span's first frame).
// Resamples with linear interpolation, follows loops, ends one-shot samples and runs the
// 128-frame volume ramps, with what `options` allow. Worker thread.
void MixVoices(Module& module, int32_t* accumulator, uint32_t frames, const MixerOptions& options);

}  // namespace xm
