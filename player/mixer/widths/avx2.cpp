// The 256-bit kernels (AVX2): 8 frames at a time. Built with -mavx2 (player/mixer/CMakeLists.txt)
// and run only where the processor has it (ChooseKernels). Nothing here may be an inline function
// shared with the rest of the build, whose copy would then need AVX2 as well: all is internal.
#include <immintrin.h>

#include "player/mixer/widths/vector_lanes.h"
#include "player/mixer/widths/vector_loops.h"

namespace xm::mixer {

namespace {

// Frames 0, 1, 4, 5 in the low half and 2, 3, 6, 7 in the high half: the unpacks, which work
// within each half, then give frames 0..3 and 4..7 in order.
struct Avx2 : Lanes<__v8si, __v8su, __v16hi, __v8sf> {
    static XM_FRAME_INLINE Vector Series(int32_t first, int32_t increment) {
        return Add(Set1(first),
                   (Vector)(Unsigned{0, 1, 4, 5, 2, 3, 6, 7} * static_cast<uint32_t>(increment)));
    }
    // A word blend: one instruction where the baseline needs two.
    static XM_FRAME_INLINE Vector WithHighHalves(Vector a, Vector b) {
        return (Vector)_mm256_blend_epi16((__m256i)a, (__m256i)b, 0xAA);
    }

    // Adds the sums of the first `frames` frames; masked moves leave everything beyond them.
    static XM_FRAME_INLINE void AddInterleaved(int32_t* accumulator, Vector l, Vector r,
                                               uint32_t frames) {
        const __m256i low = _mm256_unpacklo_epi32((__m256i)l, (__m256i)r);
        const __m256i high = _mm256_unpackhi_epi32((__m256i)l, (__m256i)r);
        if (frames == kFrames) {
            Store(accumulator, Add(Load(accumulator), (Vector)low));
            Store(accumulator + 8, Add(Load(accumulator + 8), (Vector)high));
            return;
        }
        const Vector frameOfLane{0, 0, 1, 1, 2, 2, 3, 3};
        const auto first = (__m256i)(Set1(static_cast<int32_t>(frames)) > frameOfLane);
        const auto second = (__m256i)(Set1(static_cast<int32_t>(frames) - 4) > frameOfLane);
        _mm256_maskstore_epi32(accumulator, first,
                               _mm256_add_epi32(_mm256_maskload_epi32(accumulator, first), low));
        _mm256_maskstore_epi32(
            accumulator + 8, second,
            _mm256_add_epi32(_mm256_maskload_epi32(accumulator + 8, second), high));
    }

    // The pairs are read frame by frame in straight code: on some processors a gather
    // instruction is slower than the 128-bit loops, and a loop here goes through the stack.
    static XM_FRAME_INLINE Vector Pairs(const int16_t* data, int64_t p, int64_t s, int64_t last) {
        return Vector{PairOfFrame(data, p, s, 0, last), PairOfFrame(data, p, s, 1, last),
                      PairOfFrame(data, p, s, 4, last), PairOfFrame(data, p, s, 5, last),
                      PairOfFrame(data, p, s, 2, last), PairOfFrame(data, p, s, 3, last),
                      PairOfFrame(data, p, s, 6, last), PairOfFrame(data, p, s, 7, last)};
    }

    // The packs work within each half; the quarters go back in order as they are stored.
    static XM_FRAME_INLINE Vector Packs(Vector a, Vector b) {
        return (Vector)_mm256_packs_epi32((__m256i)a, (__m256i)b);
    }
    static XM_FRAME_INLINE void StoreWords(int16_t* to, Vector words) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                            _mm256_permute4x64_epi64((__m256i)words, _MM_SHUFFLE(3, 1, 2, 0)));
    }
    static XM_FRAME_INLINE Vector Madd(Vector a, Vector b) {
        return (Vector)_mm256_madd_epi16((__m256i)a, (__m256i)b);
    }
    static XM_FRAME_INLINE Vector MulhiU16(Vector a, Vector b) {
        return (Vector)_mm256_mulhi_epu16((__m256i)a, (__m256i)b);
    }
    // The upper vector halves are cleared before returning: left in use, they slow every SSE
    // instruction after (GCC puts this in by itself only where it optimises for speed).
    static XM_FRAME_INLINE void Leave() { _mm256_zeroupper(); }
};

}  // namespace

extern const MixerKernels kAvx2Kernels = CommonDesignKernels<Avx2>();

}  // namespace xm::mixer
