// The 128-bit kernels (SSE2): 4 frames at a time. Built with -msse2 (player/mixer/CMakeLists.txt),
// which every x86 build has; the i686 program requires it.
#include <emmintrin.h>

#include <cstring>

#include "player/mixer/widths/vector_lanes.h"
#include "player/mixer/widths/vector_loops.h"

namespace xm::mixer {

namespace {

// The frames of a group in order, one a lane.
struct Sse2 : Lanes<__v4si, __v4su, __v8hi, __v4sf> {
    // Set up lane by lane: a multiplication of 32-bit lanes is not an SSE2 instruction.
    static XM_FRAME_INLINE Vector Series(int32_t first, int32_t increment) {
        const auto a = static_cast<uint32_t>(first), i = static_cast<uint32_t>(increment);
        return (Vector)_mm_setr_epi32(first, static_cast<int32_t>(a + i),
                                      static_cast<int32_t>(a + 2 * i),
                                      static_cast<int32_t>(a + 3 * i));
    }

    // Adds the sums of the first `frames` frames; those of a chunk's last frames go through an
    // array, so that nothing beyond the chunk is touched.
    static XM_FRAME_INLINE void AddInterleaved(int32_t* accumulator, Vector l, Vector r,
                                               uint32_t frames) {
        int32_t sums[8];
        int32_t* out = frames == kFrames ? accumulator : sums;
        if (frames != kFrames) std::memcpy(sums, accumulator, 2 * frames * sizeof(int32_t));
        Store(out, Add(Load(out), (Vector)_mm_unpacklo_epi32((__m128i)l, (__m128i)r)));
        Store(out + 4, Add(Load(out + 4), (Vector)_mm_unpackhi_epi32((__m128i)l, (__m128i)r)));
        if (frames != kFrames) std::memcpy(accumulator, sums, 2 * frames * sizeof(int32_t));
    }

    // The pairs are read frame by frame in straight code: a loop here stays a loop through the
    // stack where the build optimises for size.
    static XM_FRAME_INLINE Vector Pairs(const int16_t* data, int64_t p, int64_t s, int64_t last) {
        return Vector{PairOfFrame(data, p, s, 0, last), PairOfFrame(data, p, s, 1, last),
                      PairOfFrame(data, p, s, 2, last), PairOfFrame(data, p, s, 3, last)};
    }

    static XM_FRAME_INLINE Vector Packs(Vector a, Vector b) {
        return (Vector)_mm_packs_epi32((__m128i)a, (__m128i)b);
    }
    static XM_FRAME_INLINE void StoreWords(int16_t* to, Vector words) {
        std::memcpy(to, &words, sizeof words);
    }
    static XM_FRAME_INLINE Vector Madd(Vector a, Vector b) {
        return (Vector)_mm_madd_epi16((__m128i)a, (__m128i)b);
    }
    static XM_FRAME_INLINE Vector MulhiU16(Vector a, Vector b) {
        return (Vector)_mm_mulhi_epu16((__m128i)a, (__m128i)b);
    }
    static XM_FRAME_INLINE void Leave() {}
};

}  // namespace

extern const MixerKernels kSse2Kernels = CommonDesignKernels<Sse2>();

}  // namespace xm::mixer
