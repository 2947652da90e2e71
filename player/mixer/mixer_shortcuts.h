// Shortcuts of the mixer for the commonest voices, each equal in effect to the chunk loop of
// MixVoices (tests compare them bit for bit). Internal to the mixer.
#pragma once

#include <cstdint>

#include "player/mixer/mixer_kernels.h"
#include "player/song/records.h"

namespace xm::mixer {

// Volumes 0, targets 0 and no ramp: the voice is heard no more until a note starts on it.
bool IsSilentAndSettled(const Voice& voice);

// Moves a silent, settled voice on a forward loop (moving forward) by `frames` frames.
void AdvanceSilentForwardLoop(Voice& voice, uint32_t frames);

// Mixes `frames` frames of a heard voice on a short forward loop from the loop repeated end to
// end, in one chunk of `kernels`' loops per piece of its volumes (ramping or steady); false, with
// the voice unchanged, where it cannot.
bool MixUnrolledForwardLoop(Voice& voice, int32_t* accumulator, uint32_t frames,
                            const MixerKernels& kernels);

}  // namespace xm::mixer
