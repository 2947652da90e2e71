// The replay engine: advances the song tick by tick and hands each channel's result to its voice.
#pragma once

#include <cstdint>

#include "player/song/records.h"

namespace xm {

// Called for each span between tick boundaries: mix `frames` frames starting `offset` frames into
// the block. `context` is passed through unchanged.
using SpanMixer = void (*)(Module& module, uint32_t offset, uint32_t frames, void* context);

enum class TickOutcome {
    BlockDone,  // all frames of the block were scheduled
    SongEnded,  // no-loop song: the end of the order list was reached; the block is abandoned
};

// The tick scheduler for one block of `frames` frames (1024 in playback): runs a row start or a
// later tick at every tick boundary and calls `mix` for every span in between. With `noLoop`,
// reaching the end of the order list ends the song there (that row is processed, not mixed).
// Worker thread (or whichever single thread owns the song).
TickOutcome RunTicks(Module& module, uint32_t frames, bool noLoop, SpanMixer mix, void* context);

// One tick run without mixing, for finding how a song plays out.
struct SkippedTick {
    uint32_t frames = 0;    // the tick's length, after any tempo change the tick made
    bool rowStart = false;  // the tick started a row: module.order and module.row are that row
    bool lastRow = false;   // ... the last of the order list: the song goes on at its restart
};

// Runs the song's next tick exactly as playback would (the song loops at the end of its order
// list), but hands nothing to the mixer: voices keep their positions. Call it at a tick boundary,
// on a song that is not being rendered meanwhile.
SkippedTick SkipTick(Module& module);

}  // namespace xm
