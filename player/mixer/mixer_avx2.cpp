#include "player/mixer/mixer_simd.h"

#include <cstring>

#include "player/mixer/mixer_frames.h"

#ifdef XM_MIXER_VECTORS
#include <immintrin.h>
#endif

namespace xm::mixer {

#ifdef XM_MIXER_VECTORS

namespace {

#define XM_AVX2 __attribute__((target("avx2")))

// 8 frames at a time. Positions are kept as 64-bit lanes in two registers, frames 0,1,4,5 and
// 2,3,6,7, so that one shuffle per half yields the whole points and fractions in frame order.
struct Positions {
    __m256i a, b;
};

XM_AVX2 inline Positions StartPositions(int64_t p, int64_t s) {
    return {_mm256_setr_epi64x(p, p + s, p + 4 * s, p + 5 * s),
            _mm256_setr_epi64x(p + 2 * s, p + 3 * s, p + 6 * s, p + 7 * s)};
}

// The sample points each of 8 frames reads: the point (low half) and the next one (high half)
// of every 32-bit lane.
XM_AVX2 inline __m256i LoadPairs(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                                 int64_t step_fp32_32, __m256i whole) {
    const int64_t first = position_fp32_32 >> 32;
    const int64_t last = (position_fp32_32 + 7 * step_fp32_32) >> 32;
    const int64_t base = first < last ? first : last;
    if ((first < last ? last : first) - base <= 15 && base + 17 <= int64_t{points}) {
        // All 8 frames read within 17 points from `base`: two overlapping loads hold every pair,
        // at even offsets in the first and odd offsets in the second.
        const __m256i even = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + base));
        const __m256i odd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + base + 1));
        const __m256i offset =
            _mm256_sub_epi32(whole, _mm256_set1_epi32(static_cast<int32_t>(base)));
        const __m256i lane = _mm256_srli_epi32(offset, 1);
        const __m256 fromEven = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(even, lane));
        const __m256 fromOdd = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(odd, lane));
        const __m256 oddOffset = _mm256_castsi256_ps(_mm256_slli_epi32(offset, 31));
        return _mm256_castps_si256(_mm256_blendv_ps(fromEven, fromOdd, oddOffset));
    }
    alignas(32) int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), whole);
    uint32_t pairs[8];
    for (int i = 0; i < 8; ++i) std::memcpy(&pairs[i], data + at[i], 4);
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs));
}

// Interpolated points with 6 extra bits for 8 frames, as Interpolate computes them.
XM_AVX2 inline __m256i InterpolateEight(const int16_t* data, uint32_t points,
                                        int64_t position_fp32_32, int64_t step_fp32_32,
                                        const Positions& p) {
    const __m256 a = _mm256_castsi256_ps(p.a), b = _mm256_castsi256_ps(p.b);
    const __m256i whole = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i fraction = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i pair = LoadPairs(data, points, position_fp32_32, step_fp32_32, whole);
    const __m256i s0 = _mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16);
    const __m256i delta = _mm256_sub_epi32(_mm256_srai_epi32(pair, 16), s0);
    const __m256i half = _mm256_srli_epi32(fraction, 1);
    // (delta x half) >> 25 in 64 bits; the low 32 bits of a logical shift are the same.
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epi32(delta, half), 25);
    const __m256i odd = _mm256_srli_epi64(
        _mm256_mul_epi32(_mm256_srli_epi64(delta, 32), _mm256_srli_epi64(half, 32)), 25);
    const __m256i share = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    return _mm256_add_epi32(_mm256_slli_epi32(s0, 6), share);
}

// ((p >> 6) + (p < 0)) >> 1 for the 64-bit products of the even lanes of v and volume, giving
// 32-bit results in the low half of each 64-bit lane (exact while p >> 6 fits in 32 bits).
XM_AVX2 inline __m256i SideEven(__m256i v, __m256i volume) {
    return _mm256_srli_epi64(_mm256_mul_epi32(v, volume), 6);
}

XM_AVX2 inline __m256i Halve(__m256i q) {
    return _mm256_srai_epi32(_mm256_sub_epi32(q, _mm256_srai_epi32(q, 31)), 1);
}

// Adds 8 frames of left and right contributions to the interleaved accumulator.
XM_AVX2 inline void AddEight(int32_t* accumulator, __m256i v, __m256i left, __m256i right) {
    const __m256i vOdd = _mm256_srli_epi64(v, 32);
    const __m256i leftOdd = _mm256_srli_epi64(left, 32), rightOdd = _mm256_srli_epi64(right, 32);
    // Frames 0,2 | 4,6 and 1,3 | 5,7 as left/right pairs.
    const __m256i even = Halve(
        _mm256_blend_epi32(SideEven(v, left), _mm256_slli_epi64(SideEven(v, right), 32), 0xAA));
    const __m256i odd = Halve(_mm256_blend_epi32(
        SideEven(vOdd, leftOdd), _mm256_slli_epi64(SideEven(vOdd, rightOdd), 32), 0xAA));
    const __m256i low = _mm256_unpacklo_epi64(even, odd);   // frames 0,1 | 4,5
    const __m256i high = _mm256_unpackhi_epi64(even, odd);  // frames 2,3 | 6,7
    auto* out = reinterpret_cast<__m256i*>(accumulator);
    const __m256i first = _mm256_permute2x128_si256(low, high, 0x20);
    const __m256i second = _mm256_permute2x128_si256(low, high, 0x31);
    _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), first));
    _mm256_storeu_si256(out + 1, _mm256_add_epi32(_mm256_loadu_si256(out + 1), second));
}

}  // namespace

bool Avx2Available() {
    return __builtin_cpu_supports("avx2") != 0;
}

XM_AVX2 int64_t MixSteady256(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                             int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                             int32_t* accumulator, uint32_t frames) {
    const uint32_t groups = frames / 8;
    Positions p = StartPositions(position_fp32_32, step_fp32_32);
    const __m256i advance = _mm256_set1_epi64x(8 * step_fp32_32);
    const __m256i left = _mm256_set1_epi32(leftVolume), right = _mm256_set1_epi32(rightVolume);
    for (uint32_t g = 0; g < groups; ++g) {
        const int64_t at = position_fp32_32 + int64_t{8} * g * step_fp32_32;
        AddEight(accumulator + 16 * g, InterpolateEight(data, points, at, step_fp32_32, p), left,
                 right);
        p.a = _mm256_add_epi64(p.a, advance);
        p.b = _mm256_add_epi64(p.b, advance);
    }
    position_fp32_32 += int64_t{8} * groups * step_fp32_32;
    return MixSteady(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                     accumulator + 16 * groups, frames % 8);
}

XM_AVX2 int64_t MixRamping256(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                              int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                              int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                              uint32_t frames) {
    const uint32_t groups = frames / 8;
    Positions p = StartPositions(position_fp32_32, step_fp32_32);
    const __m256i advance = _mm256_set1_epi64x(8 * step_fp32_32);
    const __m256i frame = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i left = _mm256_add_epi32(_mm256_set1_epi32(leftVolume),
                                    _mm256_mullo_epi32(frame, _mm256_set1_epi32(leftIncrement)));
    __m256i right = _mm256_add_epi32(_mm256_set1_epi32(rightVolume),
                                     _mm256_mullo_epi32(frame, _mm256_set1_epi32(rightIncrement)));
    const __m256i leftStep = _mm256_set1_epi32(8 * leftIncrement);
    const __m256i rightStep = _mm256_set1_epi32(8 * rightIncrement);
    for (uint32_t g = 0; g < groups; ++g) {
        const int64_t at = position_fp32_32 + int64_t{8} * g * step_fp32_32;
        AddEight(accumulator + 16 * g, InterpolateEight(data, points, at, step_fp32_32, p), left,
                 right);
        p.a = _mm256_add_epi64(p.a, advance);
        p.b = _mm256_add_epi64(p.b, advance);
        left = _mm256_add_epi32(left, leftStep);
        right = _mm256_add_epi32(right, rightStep);
    }
    position_fp32_32 += int64_t{8} * groups * step_fp32_32;
    leftVolume += static_cast<int32_t>(8 * groups) * leftIncrement;
    rightVolume += static_cast<int32_t>(8 * groups) * rightIncrement;
    return MixRamping(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, leftIncrement,
                      rightIncrement, accumulator + 16 * groups, frames % 8);
}

#else

bool Avx2Available() {
    return false;
}

int64_t MixSteady256(const int16_t* data, uint32_t /*points*/, int64_t position_fp32_32,
                     int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                     int32_t* accumulator, uint32_t frames) {
    return MixSteady(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, accumulator,
                     frames);
}

int64_t MixRamping256(const int16_t* data, uint32_t /*points*/, int64_t position_fp32_32,
                      int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                      int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                      uint32_t frames) {
    return MixRamping(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, leftIncrement,
                      rightIncrement, accumulator, frames);
}

#endif

}  // namespace xm::mixer
