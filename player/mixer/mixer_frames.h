// The mixer's per-frame loops: one chunk of one voice with no loop boundary inside it.
// Internal to the mixer; the caller has checked that every point read lies within the sample.
#pragma once

#include <cstdint>

// The per-frame helpers are inlined even where the build optimises for size: a call per frame
// would cost more than the helper. (Every compiler of the build, GCC and clang, takes the
// attribute.)
#define XM_FRAME_INLINE inline __attribute__((always_inline))

namespace xm::mixer {

// A voice's 32.32 position as one signed 64-bit number (whole points in the high half).
XM_FRAME_INLINE int64_t JoinPosition(int32_t whole, uint32_t fraction) {
    return static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(whole)) << 32 |
                                fraction);
}

// Interpolated point with 6 extra bits: 64 * s0 plus the fraction's share of (s1 - s0).
XM_FRAME_INLINE int32_t Interpolate(const int16_t* data, int64_t position_fp32_32) {
    const int16_t* at = data + (position_fp32_32 >> 32);
    const int32_t s0 = at[0];
    const int32_t delta = at[1] - s0;
    const uint32_t fraction_fp0_31 = static_cast<uint32_t>(position_fp32_32) >> 1;
    return 64 * s0 + static_cast<int32_t>((int64_t{delta} * fraction_fp0_31) >> 25);
}

// One side's contribution: the 64-bit product of point and volume scaled down by 128, with the
// negative side rounded one unit toward zero before the last halving.
XM_FRAME_INLINE int32_t SideProduct(int32_t point_fp6, int32_t volume) {
    const int64_t p = int64_t{point_fp6} * volume;
    return static_cast<int32_t>(((p >> 6) + (p < 0 ? 1 : 0)) >> 1);
}

// The accumulator wraps like the 32-bit sums it models instead of overflowing.
XM_FRAME_INLINE void AddWrapping(int32_t& sum, int32_t value) {
    sum = static_cast<int32_t>(static_cast<uint32_t>(sum) + static_cast<uint32_t>(value));
}

// A volume moved by `frames` increments, wrapping like the 32-bit volumes it models: the ramp
// arithmetic of every loop, plain or vector.
XM_FRAME_INLINE int32_t AdvanceVolume(int32_t volume, int32_t increment, uint32_t frames) {
    return static_cast<int32_t>(static_cast<uint32_t>(volume) +
                                frames * static_cast<uint32_t>(increment));
}

// Mixes `frames` frames at constant volumes. Returns the position after them.
inline int64_t MixSteady(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                         int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                         uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) {
        const int32_t v = Interpolate(data, position_fp32_32);
        AddWrapping(accumulator[2 * i], SideProduct(v, leftVolume));
        AddWrapping(accumulator[2 * i + 1], SideProduct(v, rightVolume));
        position_fp32_32 += step_fp32_32;
    }
    return position_fp32_32;
}

// Mixes `frames` frames while the volumes move by their increments. Returns the position after
// them; the volumes are updated in place.
inline int64_t MixRamping(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                          int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                          int32_t rightIncrement, int32_t* accumulator, uint32_t frames) {
    int32_t left = leftVolume, right = rightVolume;
    for (uint32_t i = 0; i < frames; ++i) {
        const int32_t v = Interpolate(data, position_fp32_32);
        AddWrapping(accumulator[2 * i], SideProduct(v, left));
        AddWrapping(accumulator[2 * i + 1], SideProduct(v, right));
        left = AdvanceVolume(left, leftIncrement, 1);
        right = AdvanceVolume(right, rightIncrement, 1);
        position_fp32_32 += step_fp32_32;
    }
    leftVolume = left;
    rightVolume = right;
    return position_fp32_32;
}

}  // namespace xm::mixer
