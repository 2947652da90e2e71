// Vector versions of the mixer's per-frame loops and of the block conversion, bit-identical to
// the plain ones. Internal to the mixer. The 128-bit loops need only SSE2, which every build has
// (the i686 program requires it); the 256-bit loops are the same loops for AVX2, and the 512-bit
// loops multiply 32 x 32 bits and read their points with AVX-512's word permutes. The wider loops
// run where the processor has their instructions (checked at run time). All are exact while the
// volumes stay within 0..32767.
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#define XM_MIXER_SSE2 1
#endif
// The AVX2 and AVX-512 loops (XM_MIXER_WIDE) with GCC or clang, compiled per function so that the
// rest of the build keeps its baseline. On Windows only where the assembler writes every aligned
// vector move as an unaligned one (XM_MIXER_UNALIGNED_MOVES, given with
// -muse-unaligned-vector-move): MinGW's x86_64 GCC spills 32- and 64-byte vectors to stack slots it
// cannot align.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && \
    (!defined(_WIN32) || defined(XM_MIXER_UNALIGNED_MOVES))
#define XM_MIXER_WIDE 1
#endif

namespace xm::mixer {

// The vector loops of `bits` bits (128, 256 or 512; for 0, or a width the build lacks, the plain
// loops) as MixSteady and MixRamping: 4, 8 or 16 frames at a time, returning the position after
// `frames` frames. `points` is the number of points readable at `data` (at least the sample's
// length + 3); the 512-bit loops are quicker when 64 more can be read after the last point used.
int64_t MixSteadyVectors(uint32_t bits, const int16_t* data, uint32_t points,
                         int64_t position_fp32_32, int64_t step_fp32_32, int32_t leftVolume,
                         int32_t rightVolume, int32_t* accumulator, uint32_t frames);
int64_t MixRampingVectors(uint32_t bits, const int16_t* data, uint32_t points,
                          int64_t position_fp32_32, int64_t step_fp32_32, int32_t& leftVolume,
                          int32_t& rightVolume, int32_t leftIncrement, int32_t rightIncrement,
                          int32_t* accumulator, uint32_t frames);

#ifdef XM_MIXER_SSE2
int64_t MixSteady128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                     int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                     uint32_t frames);
int64_t MixRamping128(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                      int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                      int32_t rightIncrement, int32_t* accumulator, uint32_t frames);
// ConvertBlock, 4 frames at a time (`frames` a multiple of 4, `masterVolume` at most 65535).
uint32_t ConvertBlock128(const int32_t* accumulator, int16_t* output, uint32_t frames,
                         uint32_t masterVolume);
#endif

#ifdef XM_MIXER_WIDE
bool Avx2Available();
bool Avx512Available();
int64_t MixSteady256(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                     int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
                     uint32_t frames);
int64_t MixRamping256(const int16_t* data, int64_t position_fp32_32, int64_t step_fp32_32,
                      int32_t& leftVolume, int32_t& rightVolume, int32_t leftIncrement,
                      int32_t rightIncrement, int32_t* accumulator, uint32_t frames);
int64_t MixSteady512(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                     int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                     int32_t* accumulator, uint32_t frames);
int64_t MixRamping512(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                      int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                      int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                      uint32_t frames);
// ConvertBlock128, 8 frames at a time (`frames` a multiple of 8).
uint32_t ConvertBlock256(const int32_t* accumulator, int16_t* output, uint32_t frames,
                         uint32_t masterVolume);
#endif

// A short sample copied with room after it, so that the 512-bit loops can read whole windows.
struct PaddedSample {
    static constexpr uint32_t kMaxPoints = 512, kRoom = 64;
    const int16_t* data = nullptr;
    uint32_t points = 0;
    int16_t copy[kMaxPoints + kRoom];

    // Refers to `data` itself, or to a padded copy when the sample is short.
    void Prepare(const int16_t* sampleData, uint32_t samplePoints);
};

}  // namespace xm::mixer
