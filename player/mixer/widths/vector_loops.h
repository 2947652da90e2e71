// The vector mixing loops' one design, whatever the width: 16-bit multiply-adds give exact
// 32-bit products, so every 64-bit product of the plain loops is split into parts that fit them.
// `V` is a width's Lanes (vector_lanes.h) with what only its instruction set does:
//   Madd(a, b)          the 16-bit multiply-add of each lane's halves;
//   Series(first, inc)  first + k inc (wrapping) in the lane of each frame k of a group;
//   Pairs(data, p, s, last)  the point pairs of a group's frames, as PairOfFrame reads them;
//   AddInterleaved(accumulator, left, right, frames)  adds the first `frames` frames' sums;
//   Leave()             what the width does before code built for the baseline runs again.
// Included only by the file that builds a width, with that width's instruction set; internal to
// the mixer.
#pragma once

#include <cstdint>
#include <cstring>

#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_kernels.h"
#include "player/mixer/widths/vector_conversion.h"

namespace xm::mixer {
namespace {

template <class V>
using VectorOf = typename V::Vector;

// Multiply-add weights (-w, w) for each lane's w (0..32767): with a pair they give (s1 - s0) w.
template <class V>
XM_FRAME_INLINE VectorOf<V> Weights(VectorOf<V> w) {
    return V::Sub16(V::Slli(w, 16), w);
}

// As Interpolate: 64 s0 + floor((s1 - s0) f / 2^25) with f the fraction >> 1. With
// f = 2^17 fh + 2^9 fm + fl, 2^31 s0 + (s1 - s0) f = 2^17 H + 2^9 M + L, where
// H = (2^14 - fh) s0 + fh s1, M = (s1 - s0) fm and L = (s1 - s0) fl are one multiply-add each
// (L comes doubled, from the fraction's bits 1..9 in place); the floors are taken in turn.
// `pair` holds s0 in the low half of each lane, s1 in the high half.
template <class V>
XM_FRAME_INLINE VectorOf<V> InterpolateFrames(VectorOf<V> pair, VectorOf<V> fraction) {
    const VectorOf<V> fh = V::Srli(fraction, 18);
    const VectorOf<V> high = V::Madd(pair, V::Sub16(V::Or(V::Slli(fh, 16), V::Set1(1 << 14)), fh));
    const VectorOf<V> middle =
        V::Madd(pair, Weights<V>(V::And(V::Srli(fraction, 10), V::Set1(0xFF))));
    const VectorOf<V> low = V::Madd(pair, Weights<V>(V::And(fraction, V::Set1(0x3FE))));
    return V::Srai(V::Add(high, V::Srai(V::Add(middle, V::Srai(low, 10)), 8)), 8);
}

// A side's volumes (0..32767) for a group of frames: as they are, and with -64 in each high half
// for the bias below.
template <class V>
struct SideVolumes {
    VectorOf<V> plain, biased;

    XM_FRAME_INLINE explicit SideVolumes(VectorOf<V> volumes)
        : plain(volumes), biased(V::Or(volumes, V::Set1(static_cast<int32_t>(0xFFC00000)))) {}
    XM_FRAME_INLINE void Add(VectorOf<V> step) {
        plain = V::Add(plain, step);
        biased = V::Add(biased, step);
    }
};

// SideProduct for one side. With v = 128 vh + vl (0 <= vl < 128, |vh| <= 2^14) and a bias of 64
// for negative v, floor((v x volume + bias) / 128) = vh x volume + (vl x volume + bias) >> 7: one
// 16-bit multiply-add each. `high` holds vh in its low half (its sign word in the high half, which
// meets a 0), `low` holds vl and the same sign word, -1 for negative v, which meets -64.
template <class V>
XM_FRAME_INLINE VectorOf<V> Side(VectorOf<V> high, VectorOf<V> low, const SideVolumes<V>& volumes) {
    return V::Add(V::Madd(high, volumes.plain), V::Srai(V::Madd(low, volumes.biased), 7));
}

// Both sides at volumes anywhere in 0..32767, moving by their increments while ramping.
template <class V, bool kRamping>
struct AnySides {
    SideVolumes<V> left, right;
    VectorOf<V> leftStep, rightStep;

    XM_FRAME_INLINE AnySides(int32_t leftVolume, int32_t rightVolume, int32_t leftIncrement,
                             int32_t rightIncrement)
        : left(V::Series(leftVolume, leftIncrement)),
          right(V::Series(rightVolume, rightIncrement)),
          leftStep(V::Set1(static_cast<int32_t>(V::kFrames * leftIncrement))),
          rightStep(V::Set1(static_cast<int32_t>(V::kFrames * rightIncrement))) {}
    // Both sides of the first `frames` frames of a group, added to the interleaved accumulator.
    XM_FRAME_INLINE void Add(int32_t* accumulator, VectorOf<V> v, uint32_t frames) const {
        const VectorOf<V> high = V::Srai(v, 7);
        const VectorOf<V> low = V::WithHighHalves(V::And(v, V::Set1(127)), high);
        V::AddInterleaved(accumulator, Side<V>(high, low, left), Side<V>(high, low, right), frames);
    }
    XM_FRAME_INLINE void Advance() {
        if constexpr (kRamping) {
            left.Add(leftStep);
            right.Add(rightStep);
        }
    }
};

// Both sides at steady volumes of whole target steps, 128 T (T <= 255): a ramp that runs its
// course from one (a voice starts at 0) ends on one. SideProduct is then exactly v x T, one
// multiply-add per side of (vl, vh) with (T, 128 T).
template <class V>
struct WholeSides {
    VectorOf<V> left, right;

    XM_FRAME_INLINE WholeSides(int32_t leftVolume, int32_t rightVolume)
        : left(V::Set1((leftVolume >> 7) * ((1 << 23) + 1))),
          right(V::Set1((rightVolume >> 7) * ((1 << 23) + 1))) {}
    // As AnySides::Add. v << 9 holds vh in its high half (512 vl < 2^16 carries nothing into it).
    XM_FRAME_INLINE void Add(int32_t* accumulator, VectorOf<V> v, uint32_t frames) const {
        const VectorOf<V> parts = V::WithHighHalves(V::And(v, V::Set1(127)), V::Slli(v, 9));
        V::AddInterleaved(accumulator, V::Madd(parts, left), V::Madd(parts, right), frames);
    }
    XM_FRAME_INLINE void Advance() {}
};

XM_FRAME_INLINE int32_t Low(int64_t x) {
    return static_cast<int32_t>(static_cast<uint32_t>(x));
}

// The point pair a frame at `position_fp32_32` reads, s0 in the low half.
XM_FRAME_INLINE int32_t PairAt(const int16_t* data, int64_t position_fp32_32) {
    int32_t pair;
    std::memcpy(&pair, data + (position_fp32_32 >> 32), 4);
    return pair;
}

// The pair of frame `k` of a group at `position_fp32_32`, or of frame `last` for the frames beyond
// it.
XM_FRAME_INLINE int32_t PairOfFrame(const int16_t* data, int64_t position_fp32_32,
                                    int64_t step_fp32_32, int64_t k, int64_t last) {
    return PairAt(data, position_fp32_32 + (k < last ? k : last) * step_fp32_32);
}

// A group's position and fractions, its pairs read frame by frame (V::Pairs).
template <class V>
struct ScalarFrames {
    const int16_t* data;
    int64_t position, step;
    VectorOf<V> fraction, advance;

    XM_FRAME_INLINE ScalarFrames(const int16_t* d, int64_t p, int64_t s)
        : data(d),
          position(p),
          step(s),
          fraction(V::Series(Low(p), Low(s))),
          advance(V::Set1(Low(V::kFrames * s))) {}
    XM_FRAME_INLINE VectorOf<V> Pairs(uint32_t last = V::kFrames - 1) const {
        return V::Pairs(data, position, step, last);
    }
    XM_FRAME_INLINE void Advance() {
        position += V::kFrames * step;
        fraction = V::Add(fraction, advance);
    }
};

// Whole groups of frames, then the rest as one more group whose sums beyond the chunk are left
// out (its frames beyond the chunk read the chunk's last pair).
template <class V, class Sides>
XM_FRAME_INLINE int64_t MixFrames(const int16_t* data, int64_t position_fp32_32,
                                  int64_t step_fp32_32, Sides sides, int32_t* accumulator,
                                  uint32_t frames) {
    constexpr uint32_t n = V::kFrames;
    const uint32_t done = frames - frames % n, rest = frames - done;
    ScalarFrames<V> at(data, position_fp32_32, step_fp32_32);
    for (uint32_t i = 0; i < done; i += n) {
        sides.Add(accumulator + 2 * i, InterpolateFrames<V>(at.Pairs(), at.fraction), n);
        at.Advance();
        sides.Advance();
    }
    if (rest != 0) {
        sides.Add(accumulator + 2 * done, InterpolateFrames<V>(at.Pairs(rest - 1), at.fraction),
                  rest);
    }
    return at.position + int64_t{rest} * at.step;
}

// MixSteady with the vector loops of `V`.
template <class V>
XM_FRAME_INLINE int64_t MixSteadyFrames(const int16_t* data, int64_t position_fp32_32,
                                        int64_t step_fp32_32, int32_t leftVolume,
                                        int32_t rightVolume, int32_t* accumulator,
                                        uint32_t frames) {
    if (((leftVolume | rightVolume) & 127) == 0) {
        return MixFrames<V>(data, position_fp32_32, step_fp32_32,
                            WholeSides<V>(leftVolume, rightVolume), accumulator, frames);
    }
    return MixFrames<V>(data, position_fp32_32, step_fp32_32,
                        AnySides<V, false>(leftVolume, rightVolume, 0, 0), accumulator, frames);
}

// MixRamping with the vector loops of `V`; the volumes end up where the plain loop leaves them.
template <class V>
XM_FRAME_INLINE int64_t MixRampingFrames(const int16_t* data, int64_t position_fp32_32,
                                         int64_t step_fp32_32, int32_t& leftVolume,
                                         int32_t& rightVolume, int32_t leftIncrement,
                                         int32_t rightIncrement, int32_t* accumulator,
                                         uint32_t frames) {
    const int64_t end =
        MixFrames<V>(data, position_fp32_32, step_fp32_32,
                     AnySides<V, true>(leftVolume, rightVolume, leftIncrement, rightIncrement),
                     accumulator, frames);
    leftVolume = AdvanceVolume(leftVolume, leftIncrement, frames);
    rightVolume = AdvanceVolume(rightVolume, rightIncrement, frames);
    return end;
}

// The table's kernels for the width `V` (they read no more than the points they use).
template <class V>
int64_t SteadyKernelOf(const int16_t* data, uint32_t /*points*/, int64_t position_fp32_32,
                       int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                       int32_t* accumulator, uint32_t frames) {
    const int64_t end = MixSteadyFrames<V>(data, position_fp32_32, step_fp32_32, leftVolume,
                                           rightVolume, accumulator, frames);
    V::Leave();
    return end;
}

template <class V>
int64_t RampingKernelOf(const int16_t* data, uint32_t /*points*/, int64_t position_fp32_32,
                        int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                        int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                        uint32_t frames) {
    const int64_t end =
        MixRampingFrames<V>(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                            leftIncrement, rightIncrement, accumulator, frames);
    V::Leave();
    return end;
}

// The table of a width that follows this design and the common block conversion.
template <class V>
constexpr MixerKernels CommonDesignKernels() {
    return {V::kFrames * 32,       SteadyKernelOf<V>, RampingKernelOf<V>, true,
            ConversionKernelOf<V>, V::kFrames};
}

}  // namespace
}  // namespace xm::mixer
