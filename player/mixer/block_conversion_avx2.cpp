#include "player/mixer/block_conversion.h"
#include "player/mixer/mixer_simd.h"

#ifdef XM_MIXER_VECTORS
#include <immintrin.h>
#endif

namespace xm::mixer {

#ifdef XM_MIXER_VECTORS

namespace {

#define XM_AVX2 __attribute__((target("avx2")))

// Output magnitudes of 8 sums: (|x| + 8160) / 16320 = ((|x| + 8160) >> 6) / 255, clamped to 32767
// by clamping the dividend first, divided through the 32-bit reciprocal 0x80808081 / 2^39, then
// scaled by the master volume.
XM_AVX2 inline __m256i Magnitudes(__m256i sums, __m256i masterVolume) {
    const __m256i absolute = _mm256_abs_epi32(sums);  // 2^31 stays 2^31 read as unsigned
    __m256i y = _mm256_srli_epi32(_mm256_add_epi32(absolute, _mm256_set1_epi32(8160)), 6);
    y = _mm256_min_epu32(y, _mm256_set1_epi32(255 * 32767 + 254));
    const __m256i reciprocal = _mm256_set1_epi32(static_cast<int32_t>(0x80808081u));
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(y, reciprocal), 39);
    const __m256i odd =
        _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(y, 32), reciprocal), 39);
    const __m256i m = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    return _mm256_srli_epi32(_mm256_mullo_epi32(m, masterVolume), 15);
}

}  // namespace

XM_AVX2 uint32_t ConvertBlock256(const int32_t* accumulator, int16_t* output, uint32_t frames,
                                 uint32_t masterVolume) {
    const __m256i volume = _mm256_set1_epi32(static_cast<int32_t>(masterVolume));
    __m256i levels = _mm256_setzero_si256();  // left and right sums in alternate lanes
    for (uint32_t i = 0; i < 2 * frames; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(accumulator + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(accumulator + i + 8));
        const __m256i ma = Magnitudes(a, volume), mb = Magnitudes(b, volume);
        levels = _mm256_add_epi32(levels, _mm256_add_epi32(ma, mb));
        // Restore the signs; packing interleaves the 128-bit halves, the permute undoes it.
        const __m256i sa = _mm256_sign_epi32(ma, a), sb = _mm256_sign_epi32(mb, b);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(sa, sb), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + i), packed);
    }
    alignas(32) uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), levels);
    const uint32_t left = lanes[0] + lanes[2] + lanes[4] + lanes[6];
    const uint32_t right = lanes[1] + lanes[3] + lanes[5] + lanes[7];
    return (left / 1024) << 16 | (right / 1024);
}

#else

uint32_t ConvertBlock256(const int32_t* accumulator, int16_t* output, uint32_t frames,
                         uint32_t masterVolume) {
    return ConvertBlock(accumulator, output, frames, masterVolume);
}

#endif

}  // namespace xm::mixer
