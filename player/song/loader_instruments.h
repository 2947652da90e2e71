// The loader's instrument pieces: the instrument header and the limits that keep the replay
// engine's envelope indices inside the point tables.
#pragma once

#include <cstdint>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/song/records.h"

namespace xm {

// Reads one instrument (header, sample headers, sample data) at the reader's position into the
// zeroed `instrument`. False when the instrument breaks a limit of the format (more than 16
// samples, sample headers above 40 bytes, a sample of 4,194,304 points or more) or the arena
// runs out; `error`, when given, then says which (all but the instrument's number).
bool LoadInstrument(Reader& reader, SongArena& arena, Instrument& instrument,
                    LoadError* error = nullptr);

// Doubles the fadeout, switches off envelopes of fewer than 2 points and brings point counts,
// sustain and loop points inside the 12 points. Pure; applied by LoadInstrument.
void NormaliseInstrument(Instrument& instrument);

}  // namespace xm
