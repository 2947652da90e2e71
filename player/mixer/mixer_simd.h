// Vector versions of the mixer's per-frame loops, bit-identical to those in mixer_frames.h.
// Internal to the mixer. They run only where the processor has the instructions (checked at run
// time) and while the volumes stay within +-32767, where the vector arithmetic is exact.
#pragma once

#include <cstdint>

// AVX2 and AVX-512 on x86_64 with GCC or clang, compiled per function so that the rest of the
// build keeps its baseline. Not on Windows: MinGW does not keep the stack aligned for spilled
// 32- and 64-byte vectors.
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define XM_MIXER_VECTORS 1
#endif

namespace xm::mixer {

// The widest vector loops this processor and build can run: 0, 256 or 512 bits.
uint32_t WidestVectorBits();

bool Avx2Available();
bool Avx512Available();

// As MixSteady and MixRamping, 8 (256) or 16 (512) frames at a time: return the position after
// `frames` frames. `points` is the number of points readable at `data` (at least the sample's
// length + 3); the loops are quicker when 64 more can be read after the last point used.
int64_t MixSteady256(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                     int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                     int32_t* accumulator, uint32_t frames);
int64_t MixRamping256(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                      int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                      int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                      uint32_t frames);
int64_t MixSteady512(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                     int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                     int32_t* accumulator, uint32_t frames);
int64_t MixRamping512(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                      int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                      int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                      uint32_t frames);

// A short sample copied with room after it, so that the vector loops can read whole windows.
struct PaddedSample {
    static constexpr uint32_t kMaxPoints = 512, kRoom = 64;
    const int16_t* data = nullptr;
    uint32_t points = 0;
    alignas(64) int16_t copy[kMaxPoints + kRoom];

    // Refers to `data` itself, or to a padded copy when the sample is short.
    void Prepare(const int16_t* sampleData, uint32_t samplePoints);
};

// ConvertBlock, 8 frames at a time (`frames` a multiple of 8).
uint32_t ConvertBlock256(const int32_t* accumulator, int16_t* output, uint32_t frames,
                         uint32_t masterVolume);

}  // namespace xm::mixer
