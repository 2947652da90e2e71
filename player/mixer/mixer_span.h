// The mixer's bookkeeping for one voice: the sample's loop, ramps, storing the position and what
// happens at a boundary (the chunk planner, mixer_planner.h, says when one is reached). Internal
// to the mixer; positions and steps are 32.32.
// Its helpers are inlined like the per-frame ones: optimising for size, GCC otherwise calls
// several of them for every chunk.
#pragma once

#include <algorithm>
#include <cstdint>

#include "player/mixer/mixer_frames.h"
#include "player/song/records.h"

namespace xm::mixer {

constexpr uint32_t kRampFrames = 128;
XM_FRAME_INLINE int64_t LoopEnd(const Sample& s) {
    return int64_t{s.loopStart} + s.loopLength;
}

// The loader keeps loops inside the sample and samples below 2^22 points; a record that breaks
// this is not played rather than read out of bounds.
XM_FRAME_INLINE bool IsConsistent(const Sample& s) {
    return s.data != nullptr && s.length < (uint32_t{1} << 22) && s.loopStart >= 0 &&
           s.loopLength >= 0 && LoopEnd(s) <= int64_t{s.length};
}

// Sets up a ramp when the last one ran out or the targets changed since it was set up. `Ramp` is
// a Voice, or a record of the same ramp fields that a shortcut runs ahead on.
template <class Ramp>
XM_FRAME_INLINE void SetUpRamp(Ramp& voice) {
    const uint32_t targets = (static_cast<uint32_t>(voice.leftTarget) << 16) |
                             (static_cast<uint32_t>(voice.rightTarget) & 0xFFFF);
    if (voice.rampFramesLeft != 0 && targets == voice.rampTargets) return;
    voice.rampTargets = targets;
    voice.rightIncrement =
        static_cast<int32_t>((int64_t{voice.rightTarget} * 128 - voice.rightVolume) >> 7);
    voice.leftIncrement =
        static_cast<int32_t>((int64_t{voice.leftTarget} * 128 - voice.leftVolume) >> 7);
    voice.rampFramesLeft =
        (voice.rightIncrement != 0 || voice.leftIncrement != 0) ? kRampFrames : 0;
}

// The vector loops are exact while every volume of the chunk stays within 0..32767 (a volume
// left a little below 0 by an interrupted ramp takes the plain loops).
XM_FRAME_INLINE bool FitsVectorLoops(int64_t volume, int64_t increment, uint32_t frames) {
    const int64_t last = volume + increment * (frames - 1);
    return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;
}

XM_FRAME_INLINE void StorePosition(Voice& voice, int64_t position_fp32_32) {
    voice.position = static_cast<int32_t>(position_fp32_32 >> 32);
    voice.positionFraction = static_cast<uint32_t>(position_fp32_32);
}

// Where a forward loop sends a voice that reached its boundary at `position_fp32_32`: back into
// the loop by whole loop lengths, or, if it fell just short of the loop end, back by one (not
// below the first point); the fraction stays. A voice seldom lands a loop length or more beyond
// the end, so the division is kept for that case.
// Mend: a voice that fell short of the end of a one-point loop at the first point would stay
// where it is, still at its boundary, and the span would never end. It goes to the loop start,
// as a voice exactly at the loop end does.
XM_FRAME_INLINE int64_t WrapForward(int64_t position_fp32_32, int64_t loopStart,
                                    int64_t loopLength) {
    const int64_t position = position_fp32_32 >> 32;
    const auto fraction = static_cast<uint32_t>(position_fp32_32);
    const int64_t beyond = position - (loopStart + loopLength);
    if (beyond > 0) {
        const int64_t into = beyond < loopLength ? beyond : beyond % loopLength;
        return JoinPosition(static_cast<int32_t>(loopStart + into), fraction);
    }
    if (position == 0) return 0;
    return JoinPosition(static_cast<int32_t>(std::max<int64_t>(position - loopLength, 0)),
                        fraction);
}

// What happens when the voice reaches the boundary the distance was measured to: a forward loop
// wraps, a ping-pong loop turns, anything else stops the voice.
void HandleBoundary(Voice& voice);

}  // namespace xm::mixer
