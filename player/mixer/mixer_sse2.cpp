#include <cstring>

#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_simd.h"

#ifdef XM_MIXER_SSE2
#include <emmintrin.h>
#endif

namespace xm::mixer {

#ifdef XM_MIXER_SSE2

namespace {

// 4 frames at a time with SSE2's 16-bit multiply-add, which gives exact 32-bit products: every
// 64-bit product of the plain loops is split so that its parts fit.

// The point pairs that 4 frames read, one per 32-bit lane: the point in the low half, the next
// point in the high half. Written out frame by frame: a loop here stays a loop through the stack
// where the build optimises for size.
XM_FRAME_INLINE int32_t PairAt(const int16_t* data, int64_t position_fp32_32) {
    int32_t pair;
    std::memcpy(&pair, data + (position_fp32_32 >> 32), 4);
    return pair;
}

XM_FRAME_INLINE __m128i LoadPairs(const int16_t* data, int64_t position_fp32_32,
                                  int64_t step_fp32_32) {
    const int64_t second = position_fp32_32 + step_fp32_32, third = second + step_fp32_32;
    return _mm_setr_epi32(PairAt(data, position_fp32_32), PairAt(data, second), PairAt(data, third),
                          PairAt(data, third + step_fp32_32));
}

// Multiply-add weights (-w, w) for each lane's w (0..32767): with a pair they give (s1 - s0) w.
XM_FRAME_INLINE __m128i Weights(__m128i w) {
    return _mm_sub_epi16(_mm_slli_epi32(w, 16), w);
}

// As Interpolate: 64 s0 + floor((s1 - s0) f / 2^25) with f the fraction >> 1, here
// floor((2^31 s0 + (s1 - s0) f) / 2^25) taken from f's bits 16..30, 8..15 and 0..7 in turn.
XM_FRAME_INLINE __m128i InterpolateFour(__m128i pair, __m128i fraction) {
    const __m128i f = _mm_srli_epi32(fraction, 1), byte = _mm_set1_epi32(0xFF);
    const __m128i low = _mm_madd_epi16(pair, Weights(_mm_and_si128(f, byte)));
    const __m128i middle = _mm_madd_epi16(pair, Weights(_mm_and_si128(_mm_srli_epi32(f, 8), byte)));
    const __m128i high = _mm_madd_epi16(pair, Weights(_mm_srli_epi32(f, 16)));
    const __m128i below = _mm_srai_epi32(_mm_add_epi32(middle, _mm_srai_epi32(low, 8)), 8);
    const __m128i point = _mm_srai_epi32(_mm_slli_epi32(pair, 16), 1);  // 2^15 s0
    return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(high, point), below), 9);
}

// SideProduct for 4 frames of one side. With v = 128 vh + vl (0 <= vl < 128, |vh| < 2^14) and a
// bias of 64 for negative v, floor((v x volume + bias) / 128) = vh x volume +
// (vl x volume + bias) >> 7: two 16-bit multiply-adds. Volumes 0..32767.
XM_FRAME_INLINE __m128i Side(__m128i split, __m128i bias, __m128i volume) {
    const __m128i low = _mm_madd_epi16(split, volume);
    const __m128i high = _mm_madd_epi16(split, _mm_slli_epi32(volume, 16));
    return _mm_add_epi32(high, _mm_srai_epi32(_mm_add_epi32(low, bias), 7));
}

// Both sides of 4 frames, added to the interleaved accumulator.
XM_FRAME_INLINE void AddFour(int32_t* accumulator, __m128i v, __m128i left, __m128i right) {
    const __m128i split = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi32(127)),
                                       _mm_slli_epi32(_mm_srai_epi32(v, 7), 16));
    const __m128i bias = _mm_and_si128(_mm_srai_epi32(v, 31), _mm_set1_epi32(64));
    const __m128i l = Side(split, bias, left), r = Side(split, bias, right);
    auto* out = reinterpret_cast<__m128i*>(accumulator);
    _mm_storeu_si128(out, _mm_add_epi32(_mm_loadu_si128(out), _mm_unpacklo_epi32(l, r)));
    _mm_storeu_si128(out + 1, _mm_add_epi32(_mm_loadu_si128(out + 1), _mm_unpackhi_epi32(l, r)));
}

// The position fractions of 4 frames.
XM_FRAME_INLINE __m128i Fractions(int64_t p, int64_t s) {
    auto low = [](int64_t x) { return static_cast<int32_t>(static_cast<uint32_t>(x)); };
    return _mm_setr_epi32(low(p), low(p + s), low(p + 2 * s), low(p + 3 * s));
}

XM_FRAME_INLINE __m128i Ramp(int32_t volume, int32_t increment) {
    return _mm_setr_epi32(volume, volume + increment, volume + 2 * increment,
                          volume + 3 * increment);
}

// Whole groups of 4 frames, then the rest with the plain loop; the volumes end up where the plain
// loop leaves them.
template <bool kRamping>
XM_FRAME_INLINE int64_t MixFours(const int16_t* data, int64_t position_fp32_32,
                                 int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                                 int32_t leftIncrement, int32_t rightIncrement,
                                 int32_t* accumulator, uint32_t frames) {
    __m128i left = Ramp(leftVolume, leftIncrement), right = Ramp(rightVolume, rightIncrement);
    const __m128i leftStep = _mm_set1_epi32(4 * leftIncrement);
    const __m128i rightStep = _mm_set1_epi32(4 * rightIncrement);
    __m128i fraction = Fractions(position_fp32_32, step_fp32_32);
    const __m128i advance = _mm_set1_epi32(static_cast<int32_t>(4 * step_fp32_32));
    for (uint32_t i = 0; i + 4 <= frames; i += 4) {
        const __m128i pair = LoadPairs(data, position_fp32_32, step_fp32_32);
        AddFour(accumulator + 2 * i, InterpolateFour(pair, fraction), left, right);
        fraction = _mm_add_epi32(fraction, advance);
        if constexpr (kRamping) {
            left = _mm_add_epi32(left, leftStep);
            right = _mm_add_epi32(right, rightStep);
        }
        position_fp32_32 += 4 * step_fp32_32;
    }
    const uint32_t done = frames & ~3u;
    accumulator += 2 * done;
    if constexpr (!kRamping) {
        return MixSteady(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, accumulator,
                         frames - done);
    }
    leftVolume += static_cast<int32_t>(done) * leftIncrement;
    rightVolume += static_cast<int32_t>(done) * rightIncrement;
    return MixRamping(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, leftIncrement,
                      rightIncrement, accumulator, frames - done);
}

}  // namespace

int64_t MixSteady128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                     int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                     uint32_t frames) {
    return MixFours<false>(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, 0, 0,
                           accumulator, frames);
}

int64_t MixRamping128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                      int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                      int32_t rightIncrement, int32_t* accumulator, uint32_t frames) {
    return MixFours<true>(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                          leftIncrement, rightIncrement, accumulator, frames);
}

// |x| + 8160 shifted right by 6 is below 2^26; its quotient by 255 is exact in single precision
// while below 32768, and only grows above that, where the packing saturates to 32767 anyway.
// (m x volume) >> 15 is the high half of 2m x volume.
uint32_t ConvertBlock128(const int32_t* accumulator, int16_t* output, uint32_t frames,
                         uint32_t masterVolume) {
    const __m128i volume = _mm_set1_epi16(static_cast<int16_t>(masterVolume));
    const __m128i leftOnly = _mm_set1_epi32(1), rightOnly = _mm_set1_epi32(1 << 16);
    __m128i left = _mm_setzero_si128(), right = _mm_setzero_si128();
    auto magnitude = [](__m128i sums, __m128i sign) {
        const __m128i absolute = _mm_sub_epi32(_mm_xor_si128(sums, sign), sign);
        const __m128i y = _mm_srli_epi32(_mm_add_epi32(absolute, _mm_set1_epi32(8160)), 6);
        return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(y), _mm_set1_ps(255.0f)));
    };
    for (uint32_t i = 0; i < 2 * frames; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(accumulator + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(accumulator + i + 4));
        const __m128i signA = _mm_srai_epi32(a, 31), signB = _mm_srai_epi32(b, 31);
        const __m128i m = _mm_packs_epi32(magnitude(a, signA), magnitude(b, signB));
        const __m128i scaled = _mm_mulhi_epu16(_mm_slli_epi16(m, 1), volume);
        left = _mm_add_epi32(left, _mm_madd_epi16(scaled, leftOnly));
        right = _mm_add_epi32(right, _mm_madd_epi16(scaled, rightOnly));
        const __m128i sign = _mm_packs_epi32(signA, signB);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i),
                         _mm_sub_epi16(_mm_xor_si128(scaled, sign), sign));
    }
    int32_t l[4], r[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(l), left);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r), right);
    const auto sum = [](const int32_t* x) {
        return static_cast<uint32_t>(x[0] + x[1] + x[2] + x[3]);
    };
    return (sum(l) / 1024) << 16 | (sum(r) / 1024);
}

#else

int64_t MixSteady128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                     int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                     uint32_t frames) {
    return MixSteady(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, accumulator,
                     frames);
}

int64_t MixRamping128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                      int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                      int32_t rightIncrement, int32_t* accumulator, uint32_t frames) {
    return MixRamping(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, leftIncrement,
                      rightIncrement, accumulator, frames);
}

#endif

}  // namespace xm::mixer
