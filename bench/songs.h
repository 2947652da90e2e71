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

// A song of `channels` channels written the way chip-tune and dance songs are: 3 ticks per row at
// 180 BPM and more, short looped samples (forward square and pulse waves of 16 to 64 points,
// ping-pong saws and triangles of 40 to 200, a forward bass loop of a few hundred) and a one-shot
// drum; a note or a volume change on most rows of every channel, volume slides, arpeggio and
// vibrato between them, short volume envelopes: most voices ramp on most ticks.
xmtest::XmSong ChipSong(int channels, uint32_t seed);

}  // namespace bench
