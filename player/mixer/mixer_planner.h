// The chunk planner: where a voice's next chunk ends, and what happens there. The chunk loop of
// MixVoices and both shortcuts (mixer_shortcuts.cpp) take their chunks and boundaries from here,
// so none of them can walk a loop differently from the others. Internal to the mixer; positions
// and steps are 32.32, distances and counts are taken on values shifted right by 5 (what the
// fixed-point design specifies, frame counts included).
#pragma once

#include <algorithm>
#include <cstdint>

#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_span.h"
#include "player/song/records.h"

namespace xm::mixer {

// A step whose top 32 bits of 37 are zero plays at about 40 Hz instead of standing still.
constexpr uint32_t kFloorStepFraction = 3579136;
// The frames-to-boundary count divides by the step shifted right by 5, which must fit 32 bits:
// 32 points per frame is 2^37 in 32.32, so steps of 32 points or more (from 1,536,000 Hz; an
// Amiga period of 1 gives 14,317,456 Hz, 298 points) are held at 2^37 - 1, whose shift is
// 2^32 - 1. Such voices are noise either way.
constexpr uint64_t kMaxStep_fp32_32 = (uint64_t{32} << 32) - 1;

// Whole points between two places, held to +-2^30 so that the 32.32 distance cannot overflow
// (a boundary that far away lies beyond any span at any step).
XM_FRAME_INLINE int64_t WholeDistance(int64_t from, int64_t to) {
    constexpr int64_t kFar = int64_t{1} << 30;
    return std::clamp(to - from, -kFar, kFar);
}

// Distance from `position_fp32_32` to the next boundary in 32.32 points, moving forward or (with
// `backward`) backward; negative when the voice lies beyond it.
XM_FRAME_INLINE int64_t DistanceToBoundary(const Sample& s, int64_t position_fp32_32,
                                           bool backward) {
    const int64_t position = position_fp32_32 >> 32;
    const auto fraction = static_cast<uint32_t>(position_fp32_32);
    if (!backward) {
        const int64_t boundary = position < LoopEnd(s) ? LoopEnd(s) : int64_t{s.length};
        return WholeDistance(position, boundary) * (int64_t{1} << 32) - fraction;
    }
    return WholeDistance(s.loopStart, position) * (int64_t{1} << 32) + fraction;
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

// Frames until the boundary is reached or passed: the least n with n x step >= distance, both
// shifted right by 5; or frames + 1 when the boundary lies beyond the span (the count always fits
// 32 bits then, where a tiny step on a long sample would need far more). Starts from `near`, the
// count of the last call, and updates it: a voice wrapping round a loop again and again needs
// about the same count each time, found with a few multiplications instead of a division.
XM_FRAME_INLINE uint64_t FramesToBoundary(int64_t distance_fp32_32, uint64_t step_fp32_32,
                                          uint32_t frames, uint64_t& near) {
    const uint64_t distance = static_cast<uint64_t>(distance_fp32_32) >> 5;
    const uint64_t step = step_fp32_32 >> 5;
    if (distance > step * frames) return uint64_t{frames} + 1;
    uint64_t n = near;
    if (n == 0 || n * step > distance + 2 * step || n * step + 2 * step < distance) {
        n = distance / step;
        if (n * step < distance) ++n;
    } else {
        while (n * step < distance) ++n;
        while (n > 0 && (n - 1) * step >= distance) --n;
    }
    near = n;
    return n;
}

// Carries a voice on a forward loop through the ordinary wraps of a span, as the chunk-by-chunk
// walk would. Ordinary: the voice starts within one step past the loop start, and the frame
// count FramesToBoundary gives from the shifted values is the exact count n, the least with
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

// At most `frames` frames of a backward chunk such that all read at or after the sample's first
// point. The rounded frame count may take a backward pass a hair past a loop starting at 0.
XM_FRAME_INLINE uint64_t FramesBeforeFirstPoint(int64_t position_fp32_32, uint64_t step_fp32_32,
                                                uint64_t frames) {
    if (position_fp32_32 < 0) return 0;
    if (position_fp32_32 >= static_cast<int64_t>((frames - 1) * step_fp32_32)) return frames;
    return static_cast<uint64_t>(position_fp32_32) / step_fp32_32 + 1;
}

struct ChunkPlan {
    enum Kind : uint8_t {
        kStill,        // the voice lies beyond its boundary: it stands still for the span
        kBoundaryNow,  // the voice is at its boundary: handle it, then plan again
        kChunk,        // mix `frames` frames, then handle the boundary if `reachesBoundary`
    } kind;
    uint32_t frames;
    bool reachesBoundary;
    uint64_t step_fp32_32;  // the effective step (kBoundaryNow, kChunk)
};

// The next chunk of `voice` from `position_fp32_32` (the voice's own position, or where a
// shortcut has carried it) with `frames` frames left in the span, the voice moving `backward` or
// not (its direction; the shortcuts, which take forward voices only, say so as a constant). Takes
// the 40 Hz floor into the voice's step, as the step is first needed. `near` is
// FramesToBoundary's hint, 0 at first.
XM_FRAME_INLINE ChunkPlan PlanChunk(Voice& voice, int64_t position_fp32_32, bool backward,
                                    uint32_t frames, uint64_t& near) {
    // A forward voice never starts a chunk before the first point; if it did, it stands still.
    if (!backward && position_fp32_32 < 0) return {ChunkPlan::kStill, 0, false, 0};
    const int64_t distance = DistanceToBoundary(*voice.sample, position_fp32_32, backward);
    if (distance < 0) return {ChunkPlan::kStill, 0, false, 0};
    const uint64_t step = EffectiveStep(voice);
    uint64_t n = FramesToBoundary(distance, step, frames, near);
    if (n != 0 && backward) n = FramesBeforeFirstPoint(position_fp32_32, step, n);
    if (n == 0) return {ChunkPlan::kBoundaryNow, 0, true, step};
    return {ChunkPlan::kChunk, static_cast<uint32_t>(std::min<uint64_t>(n, frames)), n <= frames,
            step};
}

}  // namespace xm::mixer
