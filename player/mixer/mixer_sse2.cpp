#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_simd.h"

#ifdef XM_MIXER_SSE2
#include <cstring>
#include <emmintrin.h>

#include "player/mixer/mixer_vector_loops.h"
#endif

namespace xm::mixer {

#ifdef XM_MIXER_SSE2

namespace {

// 4 frames at a time.
struct Sse2 {
    using Vector = __m128i;
    static constexpr uint32_t kFrames = 4;

    static XM_FRAME_INLINE Vector Set1(int32_t x) { return _mm_set1_epi32(x); }
    // `first`, first + increment, .. (wrapping) for the frames of a group.
    static XM_FRAME_INLINE Vector Series(int32_t first, int32_t increment) {
        const auto a = static_cast<uint32_t>(first), i = static_cast<uint32_t>(increment);
        return _mm_setr_epi32(first, static_cast<int32_t>(a + i), static_cast<int32_t>(a + 2 * i),
                              static_cast<int32_t>(a + 3 * i));
    }
    static XM_FRAME_INLINE Vector Add(Vector a, Vector b) { return _mm_add_epi32(a, b); }
    static XM_FRAME_INLINE Vector Sub16(Vector a, Vector b) { return _mm_sub_epi16(a, b); }
    static XM_FRAME_INLINE Vector And(Vector a, Vector b) { return _mm_and_si128(a, b); }
    static XM_FRAME_INLINE Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
    static XM_FRAME_INLINE Vector Slli(Vector a, int n) { return _mm_slli_epi32(a, n); }
    static XM_FRAME_INLINE Vector Srli(Vector a, int n) { return _mm_srli_epi32(a, n); }
    static XM_FRAME_INLINE Vector Srai(Vector a, int n) { return _mm_srai_epi32(a, n); }
    static XM_FRAME_INLINE Vector Madd(Vector a, Vector b) { return _mm_madd_epi16(a, b); }
    // `a` (whose high halves are 0) with the high halves of `b`.
    static XM_FRAME_INLINE Vector WithHighHalves(Vector a, Vector b) {
        return _mm_or_si128(a, _mm_and_si128(b, Set1(static_cast<int32_t>(0xFFFF0000))));
    }

    // Adds the sums of the first `frames` frames; those of a chunk's last frames go through an
    // array, so that nothing beyond the chunk is touched.
    static XM_FRAME_INLINE void AddInterleaved(int32_t* accumulator, Vector l, Vector r,
                                               uint32_t frames) {
        int32_t sums[8];
        auto* out = reinterpret_cast<__m128i*>(frames == kFrames ? accumulator : sums);
        if (frames != kFrames) std::memcpy(sums, accumulator, 2 * frames * sizeof(int32_t));
        _mm_storeu_si128(out, _mm_add_epi32(_mm_loadu_si128(out), _mm_unpacklo_epi32(l, r)));
        _mm_storeu_si128(out + 1,
                         _mm_add_epi32(_mm_loadu_si128(out + 1), _mm_unpackhi_epi32(l, r)));
        if (frames != kFrames) std::memcpy(accumulator, sums, 2 * frames * sizeof(int32_t));
    }

    // The pairs are read frame by frame in straight code: a loop here stays a loop through the
    // stack where the build optimises for size.
    static XM_FRAME_INLINE Vector Pairs(const int16_t* data, int64_t p, int64_t s, int64_t last) {
        return _mm_setr_epi32(PairOfFrame(data, p, s, 0, last), PairOfFrame(data, p, s, 1, last),
                              PairOfFrame(data, p, s, 2, last), PairOfFrame(data, p, s, 3, last));
    }
};

}  // namespace

int64_t MixSteady128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                     int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                     uint32_t frames) {
    return MixSteadyFrames<Sse2>(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                                 accumulator, frames);
}

int64_t MixRamping128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                      int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                      int32_t rightIncrement, int32_t* accumulator, uint32_t frames) {
    return MixRampingFrames<Sse2>(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
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

#endif

}  // namespace xm::mixer
