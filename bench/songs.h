// Generated songs for the benchmark, written with the module builder the tests use.
#pragma once

#include <cstdint>

#include "tests/native/support/xm_builder.h"

namespace bench {

// A song of `channels` channels in which most cells start a new note on looped samples (short
// chip loops and longer ones, forward and ping-pong, a few one-shots), with slides, vibrato and
// arpeggio mixed in: the voices the mixer keeps running behind replaced notes pile up.
// `patterns` patterns of `rows` rows; samples of up to `maxSamplePoints` points.
xmtest::XmSong BusySong(int channels, uint32_t seed, int patterns = 8, int rows = 64,
                        uint32_t maxSamplePoints = 6000);

// A song of `channels` channels written the way tracker songs are: notes in about one cell in
// ten, most with the volume column; instruments with volume envelopes (sustain, loops) and
// fadeout, released by key-offs and often cut by the next note while still fading; an effect
// (volume slide most often, vibrato, tremolo, portamentos, arpeggio) running on nearly every row
// between notes; 8- and 16-bit samples with short forward and ping-pong loops, and one-shot
// drums.
xmtest::XmSong TrackerSong(int channels, uint32_t seed);

}  // namespace bench
