// The 512-bit kernels (AVX-512 F, BW and DQ): 16 frames at a time. Built with those instruction
// sets (player/mixer/CMakeLists.txt) and run only where the processor has them (ChooseKernels);
// nothing here is shared with the rest of the build.
//
// Where these loops depart from the common design (vector_loops.h), and why:
// - The interpolation takes the plain loops' product as it is, 32 x 32 -> 64 bits (vpmuldq),
//   instead of splitting the fraction: Interpolate's formula itself. With 16 lanes a 64-bit
//   product costs about what the split costs. The sides, where the volumes are not whole target
//   steps (ramps above all), take the common design's split into 16-bit multiply-adds
//   (SplitSides): two of them per side cost less than the 64-bit products and their permutes.
// - A group reads its point pairs with a word permutation of one or two 32-point windows where its
//   reads lie close together (steps below about 4 points), instead of one read per frame: this is
//   what makes 16 frames a group pay. The windows are masked reads that stop at `points`.
// - Steady volumes of whole target steps take v x T as one 32-bit product (vpmulld) per side.
// These loops came before the common design reached 16 lanes and were tuned on their own (bc939b4:
// one group loop and v x T, +25 to 30% on whole songs); they stay until the common design, run
// 16 frames at a time with these reads, measures as fast.
// The ramps' arithmetic (AdvanceVolume, wrapping increments) and the accumulator's are the same.
#include <immintrin.h>

#include <cstring>

#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_kernels.h"
#include "player/mixer/widths/vector_conversion.h"
#include "player/mixer/widths/vector_lanes.h"
#include "player/mixer/widths/vector_loops.h"

namespace xm::mixer {

namespace {

// 16 frames at a time; positions as 64-bit lanes, frames 0..7 and 8..15.
struct Positions {
    __m512i low, high;
};

XM_FRAME_INLINE Positions StartPositions(int64_t p, int64_t s) {
    const __m512i frame = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512i offsets = _mm512_mullo_epi64(frame, _mm512_set1_epi64(s));
    const __m512i start = _mm512_add_epi64(_mm512_set1_epi64(p), offsets);
    return {start, _mm512_add_epi64(start, _mm512_set1_epi64(8 * s))};
}

// The points that 16 frames read: the point in the low half of each 32-bit lane, the next point
// in the high half. Only the first `lanes` frames read memory; the others get arbitrary values.
XM_FRAME_INLINE __m512i LoadPairs(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                                  int64_t step_fp32_32, __m512i whole, uint32_t lanes) {
    const int64_t first = position_fp32_32 >> 32;
    const int64_t last = (position_fp32_32 + (lanes - 1) * step_fp32_32) >> 32;
    const int64_t base = first < last ? first : last;
    const int64_t span = (first < last ? last : first) - base;
    const __m512i offset = _mm512_sub_epi32(whole, _mm512_set1_epi32(static_cast<int32_t>(base)));
    const __m512i words = _mm512_add_epi32(_mm512_add_epi32(offset, _mm512_slli_epi32(offset, 16)),
                                           _mm512_set1_epi32(1 << 16));
    // Masked reads stop at the last readable point (a masked-out point is neither read nor able
    // to fault), so a short sample needs no copy with room after it.
    const int64_t room = int64_t{points} - base;
    const auto below = [room](int64_t from) {
        return _cvtu32_mask32(room - from >= 32 ? ~0u
                              : room > from     ? (1u << (room - from)) - 1
                                                : 0u);
    };
    if (span <= 30 && room > 0) {
        // All reads lie within 32 points from `base`: one read and one word permutation.
        return _mm512_permutexvar_epi16(words, _mm512_maskz_loadu_epi16(below(0), data + base));
    }
    if (span <= 62 && room > 0) {
        // Steps of 2 to 4 points per frame: a window of 64 points.
        return _mm512_permutex2var_epi16(_mm512_maskz_loadu_epi16(below(0), data + base), words,
                                         _mm512_maskz_loadu_epi16(below(32), data + base + 32));
    }
    // Far apart or near the end of the data: one read per frame.
    alignas(64) int32_t at[16];
    _mm512_store_si512(at, whole);
    alignas(64) uint32_t pairs[16] = {};
    for (uint32_t i = 0; i < lanes; ++i) std::memcpy(&pairs[i], data + at[i], 4);
    return _mm512_load_si512(pairs);
}

// Moves the low half of each 64-bit lane to the high half and back.
XM_FRAME_INLINE __m512i SwapHalves(__m512i x) {
    return _mm512_shuffle_epi32(x, _MM_PERM_CDAB);
}

// Interpolated points with 6 extra bits for 16 frames, as Interpolate computes them.
XM_FRAME_INLINE __m512i InterpolateSixteen(const int16_t* data, uint32_t points,
                                           int64_t position_fp32_32, int64_t step_fp32_32,
                                           const Positions& p, uint32_t lanes = 16) {
    const __m512i oddWords =
        _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i evenWords =
        _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i whole = _mm512_permutex2var_epi32(p.low, oddWords, p.high);
    const __m512i fraction = _mm512_permutex2var_epi32(p.low, evenWords, p.high);
    const __m512i pair = LoadPairs(data, points, position_fp32_32, step_fp32_32, whole, lanes);
    const __m512i point16 = _mm512_slli_epi32(pair, 16);  // the point alone, in the high half
    const __m512i delta =
        _mm512_sub_epi32(_mm512_srai_epi32(pair, 16), _mm512_srai_epi32(point16, 16));
    const __m512i half = _mm512_srli_epi32(fraction, 1);
    // (delta x half) >> 25 in 64 bits; the low 32 bits of a logical shift are the same.
    const __m512i even = _mm512_srli_epi64(_mm512_mul_epi32(delta, half), 25);
    const __m512i odd =
        _mm512_srli_epi64(_mm512_mul_epi32(SwapHalves(delta), SwapHalves(half)), 25);
    const __m512i share = _mm512_mask_blend_epi32(0xAAAA, even, SwapHalves(odd));
    return _mm512_add_epi32(_mm512_srai_epi32(point16, 10), share);  // 64 x s0 + share
}

// Adds the interleaved sums of 16 frames (frames 0..7 in `a`, 8..15 in `b`) to the
// accumulator, only those of the first `lanes` frames.
XM_FRAME_INLINE void AddInterleaved(int32_t* out, __m512i a, __m512i b, uint32_t lanes) {
    if (lanes == 16) {
        _mm512_storeu_si512(out, _mm512_add_epi32(_mm512_loadu_si512(out), a));
        _mm512_storeu_si512(out + 16, _mm512_add_epi32(_mm512_loadu_si512(out + 16), b));
        return;
    }
    // A chunk's last few frames: only their sums are touched.
    const uint32_t sums = 2 * lanes;
    const __mmask16 maskA = static_cast<__mmask16>(sums >= 16 ? 0xFFFF : (1u << sums) - 1);
    const __mmask16 maskB = static_cast<__mmask16>(sums > 16 ? (1u << (sums - 16)) - 1 : 0);
    _mm512_mask_storeu_epi32(out, maskA, _mm512_add_epi32(_mm512_maskz_loadu_epi32(maskA, out), a));
    _mm512_mask_storeu_epi32(out + 16, maskB,
                             _mm512_add_epi32(_mm512_maskz_loadu_epi32(maskB, out + 16), b));
}

// Both sides at steady volumes of whole target steps, 128 T (as the narrower loops take them):
// SideProduct is then exactly v x T, which fits 32 bits.
struct WholeSidesBy32 {
    __m512i left, right;  // T

    XM_FRAME_INLINE void Add(int32_t* accumulator, __m512i v, uint32_t lanes) const {
        const __m512i l = _mm512_mullo_epi32(v, left), r = _mm512_mullo_epi32(v, right);
        const __m512i first =
            _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
        const __m512i second =
            _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
        AddInterleaved(accumulator, _mm512_permutex2var_epi32(l, first, r),
                       _mm512_permutex2var_epi32(l, second, r), lanes);
    }
    XM_FRAME_INLINE void Advance() {}
};

// Clears the vector registers' upper halves before the SSE code that follows runs: with them
// left in use, every SSE instruction after pays for merging them (GCC puts this in by itself only
// where it optimises for speed, not for size).
XM_FRAME_INLINE void LeaveWideVectors() {
    _mm256_zeroupper();
}

// `first`, first + increment, .. (wrapping) for 16 frames.
XM_FRAME_INLINE __m512i SeriesOf16(int32_t first, int32_t increment) {
    const __m512i frame = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm512_add_epi32(_mm512_set1_epi32(first),
                            _mm512_mullo_epi32(frame, _mm512_set1_epi32(increment)));
}

// The lanes of the common design (vector_loops.h, vector_conversion.h): its block conversion and
// its sides at volumes that are not whole target steps, 16 frames at a time in order.
struct Avx512 : Lanes<__v16si, __v16su, __v32hi, __v16sf> {
    static XM_FRAME_INLINE Vector Series(int32_t first, int32_t increment) {
        return (Vector)SeriesOf16(first, increment);
    }
    static XM_FRAME_INLINE Vector WithHighHalves(Vector a, Vector b) {
        return (Vector)_mm512_mask_blend_epi16(0xAAAAAAAA, (__m512i)a, (__m512i)b);
    }
    static XM_FRAME_INLINE void AddInterleaved(int32_t* accumulator, Vector l, Vector r,
                                               uint32_t frames) {
        const __m512i first =
            _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
        const __m512i second =
            _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
        xm::mixer::AddInterleaved(
            accumulator, _mm512_permutex2var_epi32((__m512i)l, first, (__m512i)r),
            _mm512_permutex2var_epi32((__m512i)l, second, (__m512i)r), frames);
    }
    static XM_FRAME_INLINE Vector MulhiU16(Vector a, Vector b) {
        return (Vector)_mm512_mulhi_epu16((__m512i)a, (__m512i)b);
    }
    // The packs work within each quarter; the eighths go back in order as they are stored.
    static XM_FRAME_INLINE Vector Packs(Vector a, Vector b) {
        return (Vector)_mm512_packs_epi32((__m512i)a, (__m512i)b);
    }
    static XM_FRAME_INLINE void StoreWords(int16_t* to, Vector words) {
        const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
        _mm512_storeu_si512(to, _mm512_permutexvar_epi64(order, (__m512i)words));
    }
    static XM_FRAME_INLINE Vector Madd(Vector a, Vector b) {
        return (Vector)_mm512_madd_epi16((__m512i)a, (__m512i)b);
    }
    static XM_FRAME_INLINE void Leave() { LeaveWideVectors(); }
};

// Both sides at volumes anywhere in 0..32767, moving by their increments while ramping: the
// common design's split products, 16-bit multiply-adds, cheaper than 64-bit products here too.
template <bool kRamping>
struct SplitSides {
    AnySides<Avx512, kRamping> sides;

    XM_FRAME_INLINE void Add(int32_t* accumulator, __m512i v, uint32_t lanes) const {
        sides.Add(accumulator, (__v16si)v, lanes);
    }
    XM_FRAME_INLINE void Advance() { sides.Advance(); }
};

// Groups of 16 frames, then the rest as one more group of which only the first frames are added.
template <class Sides>
XM_FRAME_INLINE int64_t MixSixteens(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                                    int64_t step_fp32_32, Sides sides, int32_t* accumulator,
                                    uint32_t frames) {
    const uint32_t groups = frames / 16;
    Positions p = StartPositions(position_fp32_32, step_fp32_32);
    const __m512i advance = _mm512_set1_epi64(16 * step_fp32_32);
    for (uint32_t g = 0; g < groups; ++g) {
        const int64_t at = position_fp32_32 + int64_t{16} * g * step_fp32_32;
        sides.Add(accumulator + 32 * g, InterpolateSixteen(data, points, at, step_fp32_32, p), 16);
        p.low = _mm512_add_epi64(p.low, advance);
        p.high = _mm512_add_epi64(p.high, advance);
        sides.Advance();
    }
    const uint32_t rest = frames % 16;
    if (rest != 0) {
        const int64_t at = position_fp32_32 + int64_t{16} * groups * step_fp32_32;
        sides.Add(accumulator + 32 * groups,
                  InterpolateSixteen(data, points, at, step_fp32_32, p, rest), rest);
    }
    return position_fp32_32 + int64_t{frames} * step_fp32_32;
}

int64_t MixSteady512(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                     int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                     int32_t* accumulator, uint32_t frames) {
    const __m512i left = _mm512_set1_epi32(leftVolume), right = _mm512_set1_epi32(rightVolume);
    const int64_t end =
        ((leftVolume | rightVolume) & 127) == 0
            ? MixSixteens(data, points, position_fp32_32, step_fp32_32,
                          WholeSidesBy32{_mm512_srli_epi32(left, 7), _mm512_srli_epi32(right, 7)},
                          accumulator, frames)
            : MixSixteens(data, points, position_fp32_32, step_fp32_32,
                          SplitSides<false>{{leftVolume, rightVolume, 0, 0}}, accumulator, frames);
    LeaveWideVectors();
    return end;
}

int64_t MixRamping512(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                      int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                      int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                      uint32_t frames) {
    const SplitSides<true> sides{{leftVolume, rightVolume, leftIncrement, rightIncrement}};
    const int64_t end =
        MixSixteens(data, points, position_fp32_32, step_fp32_32, sides, accumulator, frames);
    leftVolume = AdvanceVolume(leftVolume, leftIncrement, frames);
    rightVolume = AdvanceVolume(rightVolume, rightIncrement, frames);
    LeaveWideVectors();
    return end;
}

}  // namespace

extern const MixerKernels kAvx512Kernels = {
    512, MixSteady512, MixRamping512, true, ConversionKernelOf<Avx512>, Avx512::kFrames};

}  // namespace xm::mixer
