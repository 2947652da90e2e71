#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_simd.h"

#ifdef XM_MIXER_WIDE
#include <immintrin.h>

// From here on every function is built for AVX2, and runs only where the processor has it. The
// plain loops above were built for the baseline and stay so; nothing below may instantiate a
// template shared with the rest of the build, whose copy would then need AVX2 as well.
#ifdef __clang__
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "player/mixer/mixer_vector_loops.h"
#endif

namespace xm::mixer {

#ifdef XM_MIXER_WIDE

namespace {

// 8 frames at a time, frames 0, 1, 4, 5 in the low half and 2, 3, 6, 7 in the high half: the
// unpacks, which work within each half, then give frames 0..3 and 4..7 in order.
struct Avx2 {
    using Vector = __m256i;
    static constexpr uint32_t kFrames = 8;
    static XM_FRAME_INLINE Vector Set1(int32_t x) { return _mm256_set1_epi32(x); }
    static XM_FRAME_INLINE Vector Series(int32_t first, int32_t increment) {
        const __m256i k = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
        return _mm256_add_epi32(Set1(first), _mm256_mullo_epi32(Set1(increment), k));
    }
    static XM_FRAME_INLINE Vector Add(Vector a, Vector b) { return _mm256_add_epi32(a, b); }
    static XM_FRAME_INLINE Vector Sub16(Vector a, Vector b) { return _mm256_sub_epi16(a, b); }
    static XM_FRAME_INLINE Vector And(Vector a, Vector b) { return _mm256_and_si256(a, b); }
    static XM_FRAME_INLINE Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
    static XM_FRAME_INLINE Vector Slli(Vector a, int n) { return _mm256_slli_epi32(a, n); }
    static XM_FRAME_INLINE Vector Srli(Vector a, int n) { return _mm256_srli_epi32(a, n); }
    static XM_FRAME_INLINE Vector Srai(Vector a, int n) { return _mm256_srai_epi32(a, n); }
    static XM_FRAME_INLINE Vector Madd(Vector a, Vector b) { return _mm256_madd_epi16(a, b); }
    // `a` with the high halves of `b`.
    static XM_FRAME_INLINE Vector WithHighHalves(Vector a, Vector b) {
        return _mm256_blend_epi16(a, b, 0xAA);
    }

    // Adds the sums of the first `frames` frames; masked moves leave everything beyond them.
    static XM_FRAME_INLINE void AddInterleaved(int32_t* accumulator, Vector l, Vector r,
                                               uint32_t frames) {
        auto* out = reinterpret_cast<__m256i*>(accumulator);
        const __m256i low = _mm256_unpacklo_epi32(l, r), high = _mm256_unpackhi_epi32(l, r);
        if (frames == kFrames) {
            _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), low));
            _mm256_storeu_si256(out + 1, _mm256_add_epi32(_mm256_loadu_si256(out + 1), high));
            return;
        }
        const __m256i frameOfLane = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        const __m256i first = _mm256_cmpgt_epi32(Set1(static_cast<int32_t>(frames)), frameOfLane);
        const __m256i second =
            _mm256_cmpgt_epi32(Set1(static_cast<int32_t>(frames) - 4), frameOfLane);
        _mm256_maskstore_epi32(accumulator, first,
                               _mm256_add_epi32(_mm256_maskload_epi32(accumulator, first), low));
        _mm256_maskstore_epi32(
            accumulator + 8, second,
            _mm256_add_epi32(_mm256_maskload_epi32(accumulator + 8, second), high));
    }

    // As ConvertBlock128 takes a magnitude.
    static XM_FRAME_INLINE Vector Magnitude(Vector sums, Vector sign) {
        const __m256i absolute = _mm256_sub_epi32(_mm256_xor_si256(sums, sign), sign);
        const __m256i y = _mm256_srli_epi32(_mm256_add_epi32(absolute, Set1(8160)), 6);
        return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(y), _mm256_set1_ps(255.0f)));
    }

    // The pairs are read frame by frame in straight code: on some processors a gather
    // instruction is slower than the 128-bit loops, and a loop here goes through the stack.
    static XM_FRAME_INLINE Vector Pairs(const int16_t* data, int64_t p, int64_t s, int64_t last) {
        return _mm256_setr_epi32(PairOfFrame(data, p, s, 0, last), PairOfFrame(data, p, s, 1, last),
                                 PairOfFrame(data, p, s, 4, last), PairOfFrame(data, p, s, 5, last),
                                 PairOfFrame(data, p, s, 2, last), PairOfFrame(data, p, s, 3, last),
                                 PairOfFrame(data, p, s, 6, last),
                                 PairOfFrame(data, p, s, 7, last));
    }
};

}  // namespace

// The upper vector halves are cleared before returning: left in use, they slow every SSE
// instruction after (GCC puts this in by itself only where it optimises for speed).
int64_t MixSteady256(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                     int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                     uint32_t frames) {
    const int64_t end = MixSteadyFrames<Avx2>(data, position_fp32_32, step_fp32_32, leftVolume,
                                              rightVolume, accumulator, frames);
    _mm256_zeroupper();
    return end;
}

int64_t MixRamping256(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                      int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                      int32_t rightIncrement, int32_t* accumulator, uint32_t frames) {
    const int64_t end =
        MixRampingFrames<Avx2>(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                               leftIncrement, rightIncrement, accumulator, frames);
    _mm256_zeroupper();
    return end;
}

// As ConvertBlock128, 8 frames at a time; the packs work within each half, so a permute puts
// the frames back in order.
uint32_t ConvertBlock256(const int32_t* accumulator, int16_t* output, uint32_t frames,
                         uint32_t masterVolume) {
    const __m256i volume = _mm256_set1_epi16(static_cast<int16_t>(masterVolume));
    const __m256i leftOnly = _mm256_set1_epi32(1), rightOnly = _mm256_set1_epi32(1 << 16);
    __m256i left = _mm256_setzero_si256(), right = _mm256_setzero_si256();
    for (uint32_t i = 0; i < 2 * frames; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(accumulator + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(accumulator + i + 8));
        const __m256i signA = _mm256_srai_epi32(a, 31), signB = _mm256_srai_epi32(b, 31);
        const __m256i m = _mm256_packs_epi32(Avx2::Magnitude(a, signA), Avx2::Magnitude(b, signB));
        const __m256i scaled = _mm256_mulhi_epu16(_mm256_slli_epi16(m, 1), volume);
        left = _mm256_add_epi32(left, _mm256_madd_epi16(scaled, leftOnly));
        right = _mm256_add_epi32(right, _mm256_madd_epi16(scaled, rightOnly));
        const __m256i sign = _mm256_packs_epi32(signA, signB);
        const __m256i out = _mm256_sub_epi16(_mm256_xor_si256(scaled, sign), sign);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + i),
                            _mm256_permute4x64_epi64(out, _MM_SHUFFLE(3, 1, 2, 0)));
    }
    int32_t l[8], r[8];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(l), left);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(r), right);
    _mm256_zeroupper();
    uint32_t leftSum = 0, rightSum = 0;
    for (int k = 0; k < 8; ++k) {
        leftSum += static_cast<uint32_t>(l[k]);
        rightSum += static_cast<uint32_t>(r[k]);
    }
    return (leftSum / 1024) << 16 | (rightSum / 1024);
}

#ifdef __clang__
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool Avx2Available() {
    return __builtin_cpu_supports("avx2") != 0;
}

#endif

}  // namespace xm::mixer
