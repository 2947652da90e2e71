// How a song plays out from its start, found by running its ticks without mixing: how long one
// pass through the order list lasts, or where a song that never reaches its end turns back.
#pragma once

#include <cstdint>

#include "player/song/records.h"

namespace xm {

struct SongWalk {
    enum class Ending {
        OrderListEnd,  // the song plays through its last order position
        JumpsBack,     // an effect takes it back to a place it has played, for ever
        TooLong,       // neither within the frame limit
    };
    Ending ending = Ending::TooLong;
    // OrderListEnd: frames until the last row ends (one pass) and until it starts (where a
    // no-loop render stops). JumpsBack: frames until the song first returns (both the same).
    // TooLong: the frames walked.
    uint64_t frames = 0;
    uint64_t framesToLastRow = 0;
    // JumpsBack: the row whose end turns back, and the row it goes to.
    int32_t fromOrder = 0, fromRow = 0, toOrder = 0, toRow = 0;
};

// Walks a freshly loaded song from its first row for at most `frameLimit` frames (and a million
// rows). A song that returns to a row in the same state (position, pending jump and
// every channel's pattern loop) repeats for ever: that is how a jump back is told from a pattern
// loop. Leaves the song's playing state changed: load it afresh before rendering it.
SongWalk WalkSong(Module& module, uint64_t frameLimit);

}  // namespace xm
