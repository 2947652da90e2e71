// The mixer's bookkeeping for one voice between loop boundaries: distances, frame counts,
// ramps and what happens at a boundary. Internal to the mixer; positions and steps are 32.32.
// Its helpers are inlined like the per-frame ones: optimising for size, GCC otherwise calls
// several of them for every chunk.
#pragma once

#include <algorithm>
#include <cstdint>

#include "player/mixer/mixer_frames.h"
#include "player/song/records.h"

namespace xm::mixer {

constexpr uint32_t kRampFrames = 128;
// A step whose top 32 bits of 37 are zero plays at about 40 Hz instead of standing still.
constexpr uint32_t kFloorStepFraction = 3579136;
// The frames-to-boundary count divides by the step shifted right by 5, which must fit 32 bits:
// 32 points per frame is 2^37 in 32.32, so steps of 32 points or more (from 1,536,000 Hz; an
// Amiga period of 1 gives 14,317,456 Hz, 298 points) are held at 2^37 - 1, whose shift is
// 2^32 - 1. Such voices are noise either way.
constexpr uint64_t kMaxStep_fp32_32 = (uint64_t{32} << 32) - 1;

XM_FRAME_INLINE int64_t LoopEnd(const Sample& s) {
    return int64_t{s.loopStart} + s.loopLength;
}

// The loader keeps loops inside the sample and samples below 2^22 points; a record that breaks
// this is not played rather than read out of bounds.
XM_FRAME_INLINE bool IsConsistent(const Sample& s) {
    return s.data != nullptr && s.length < (uint32_t{1} << 22) && s.loopStart >= 0 &&
           s.loopLength >= 0 && LoopEnd(s) <= int64_t{s.length};
}

// Whole points between two places, held to +-2^30 so that the 32.32 distance cannot overflow
// (a boundary that far away lies beyond any span at any step).
XM_FRAME_INLINE int64_t WholeDistance(int64_t from, int64_t to) {
    constexpr int64_t kFar = int64_t{1} << 30;
    return std::clamp(to - from, -kFar, kFar);
}

// Distance to the next boundary in 32.32 points; negative when the voice lies beyond it.
XM_FRAME_INLINE int64_t DistanceToBoundary(const Voice& voice) {
    const Sample& s = *voice.sample;
    const int64_t position = voice.position;
    if (voice.direction == 0) {
        const int64_t boundary = position < LoopEnd(s) ? LoopEnd(s) : int64_t{s.length};
        return WholeDistance(position, boundary) * (int64_t{1} << 32) - voice.positionFraction;
    }
    return WholeDistance(s.loopStart, position) * (int64_t{1} << 32) + voice.positionFraction;
}

// The voice's step, limited and with the 40 Hz floor applied (which the voice keeps).
XM_FRAME_INLINE uint64_t EffectiveStep(Voice& voice) {
    uint64_t step = uint64_t{voice.stepInteger} << 32 | voice.stepFraction;
    step = std::min(step, kMaxStep_fp32_32);
    if ((step >> 5) == 0) {
        voice.stepFraction = kFloorStepFraction;
        step = kFloorStepFraction;
    }
    return step;
}

// Frames until the boundary is reached or passed, computed on the values shifted right by 5, or
// frames + 1 when the boundary lies beyond the span. The quotient is only taken when it is at most
// `frames`, so it always fits 32 bits (a tiny step on a long sample would need far more).
XM_FRAME_INLINE uint64_t FramesToBoundary(int64_t distance_fp32_32, uint64_t step_fp32_32,
                                          uint32_t frames) {
    const uint64_t distance = static_cast<uint64_t>(distance_fp32_32) >> 5;
    const uint64_t step = step_fp32_32 >> 5;
    if (distance > step * frames) return uint64_t{frames} + 1;
    const uint64_t n = distance / step;
    return n * step < distance ? n + 1 : n;
}

// As FramesToBoundary, starting from a count that is probably near: a voice wrapping round a loop
// again and again needs about the same count each time, found with a few multiplications
// instead of a division. `near` is updated.
XM_FRAME_INLINE uint64_t FramesToBoundaryNear(int64_t distance_fp32_32, uint64_t step_fp32_32,
                                              uint32_t frames, uint64_t& near) {
    const uint64_t distance = static_cast<uint64_t>(distance_fp32_32) >> 5;
    const uint64_t step = step_fp32_32 >> 5;
    if (distance > step * frames) return uint64_t{frames} + 1;
    uint64_t n = near;
    if (n * step > distance + 2 * step || n * step + 2 * step < distance) n = distance / step;
    while (n * step < distance) ++n;
    while (n > 0 && (n - 1) * step >= distance) --n;
    near = n;
    return n;
}

// Carries a voice on a forward loop through the ordinary wraps of a span, as the chunk-by-chunk
// walk would. Ordinary: the voice starts within one step past the loop start, and the frame
// count FramesToBoundary gives from its shifted values is the exact count n, the least with
// q + n x step >= the loop length, q being the offset past the loop start. The next offset is
// then q + n x step - length, again within one step: with length = m x step + r, n is m + 1 where
// q < r and m elsewhere, and each wrap costs a comparison and a subtraction. Stops, leaving the
// rest to the walk, at the first wrap that is not ordinary or when the span ends before the next
// wrap. Returns the number of wraps.
XM_FRAME_INLINE uint32_t OrdinaryForwardWraps(int64_t& p_fp32_32, uint32_t& frames,
                                              uint64_t step_fp32_32, int64_t loopEnd,
                                              int64_t loopLength) {
    const int64_t length = loopLength << 32, start = (loopEnd << 32) - length;
    const auto step = static_cast<int64_t>(step_fp32_32);
    int64_t q = p_fp32_32 - start;
    if (2 * step >= length || q < 0 || q >= step) return 0;
    const int64_t m = length / step, r = length % step;
    const uint64_t shifted = step_fp32_32 >> 5;
    uint32_t wraps = 0;
    for (;;) {
        const bool more = q < r;
        const auto n = static_cast<uint64_t>(m + (more ? 1 : 0));
        const uint64_t distance = static_cast<uint64_t>(length - q) >> 5;
        if (n > frames || distance <= (n - 1) * shifted || distance > n * shifted) break;
        q = more ? q - r + step : q - r;
        frames -= static_cast<uint32_t>(n);
        ++wraps;
    }
    p_fp32_32 = start + q;
    return wraps;
}

// Sets up a ramp when the last one ran out or the targets changed since it was set up.
XM_FRAME_INLINE void SetUpRamp(Voice& voice) {
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

XM_FRAME_INLINE void StorePosition(Voice& voice, int64_t position_fp32_32) {
    voice.position = static_cast<int32_t>(position_fp32_32 >> 32);
    voice.positionFraction = static_cast<uint32_t>(position_fp32_32);
}

// At most `frames` frames of a backward chunk such that all read at or after the sample's first
// point. The rounded frame count may take a backward pass a hair past a loop starting at 0.
XM_FRAME_INLINE uint64_t FramesBeforeFirstPoint(int64_t position_fp32_32, uint64_t step_fp32_32,
                                                uint64_t frames) {
    if (position_fp32_32 < 0) return 0;
    if (position_fp32_32 >= static_cast<int64_t>((frames - 1) * step_fp32_32)) return frames;
    return static_cast<uint64_t>(position_fp32_32) / step_fp32_32 + 1;
}

// Where a forward loop sends a voice that reached `position` (whole points) at its boundary: back
// into the loop by whole loop lengths, or, if it fell just short of the loop end, back by one
// (not below the first point). A voice seldom lands a loop length or more beyond the end, so
// the division is kept for that case.
XM_FRAME_INLINE int64_t WrapForward(int64_t position, int64_t loopStart, int64_t loopLength) {
    const int64_t beyond = position - (loopStart + loopLength);
    if (beyond <= 0) return std::max<int64_t>(position - loopLength, 0);
    return loopStart + (beyond < loopLength ? beyond : beyond % loopLength);
}

// What happens when the voice reaches the boundary the distance was measured to: a forward loop
// wraps, a ping-pong loop turns, anything else stops the voice.
void HandleBoundary(Voice& voice);

}  // namespace xm::mixer
