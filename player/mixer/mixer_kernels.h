// The kernel table: what a vector width gives the mixer, chosen once per span. Internal to the
// mixer. Every width provides the same kinds of kernels with the same signatures, so the chunk
// loop, the shortcuts and the block conversion call the table and never name a width.
#pragma once

#include <cstdint>

#include "player/mixer/mixer_options.h"

namespace xm::mixer {

// MixSteady for one chunk: `frames` frames at constant volumes from `data`, of which `points`
// points are readable (at least the sample's length + 3; nothing beyond them is read). Returns
// the position after them.
using SteadyKernel = int64_t (*)(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                                 int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                                 int32_t* accumulator, uint32_t frames);
// MixRamping for one chunk; the volumes are moved in place by `frames` increments (wrapping).
using RampingKernel = int64_t (*)(const int16_t* data, uint32_t points, int64_t position_fp32_32,
                                  int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                                  int32_t leftIncrement, int32_t rightIncrement,
                                  int32_t* accumulator, uint32_t frames);
// ConvertBlock for `frames` a multiple of the table's conversionFrames and a master volume of at
// most 65535. Returns the levels value.
using ConversionKernel = uint32_t (*)(const int32_t* accumulator, int16_t* output, uint32_t frames,
                                      uint32_t masterVolume);

struct MixerKernels {
    // The width in bits; 0 for the plain loops.
    uint32_t bits;
    // Both loops are exact, bit for bit, while every volume of the chunk stays within 0..32767.
    SteadyKernel mixSteady;
    RampingKernel mixRamping;
    // Whether a short forward loop is mixed unrolled, one chunk per span (worth it only where a
    // chunk's set-up costs more than its frames).
    bool unrollsShortLoops;
    // The vector block conversion, or null for the plain one.
    ConversionKernel convertBlock;
    uint32_t conversionFrames;
};

// The plain loops: what every table must match.
const MixerKernels& PlainKernels();

// The widest table that the processor, the build and `options` allow (the plain loops where
// options rule out shortcuts). The one place that asks the processor what it has.
const MixerKernels& ChooseKernels(const MixerOptions& options);

// A width the build compiled, and whether this processor has its instructions.
struct BuiltWidth {
    const MixerKernels* kernels;
    bool runsHere;
};
// Every vector width the build compiled, widest first, whatever the processor (for the tests,
// which report a width this processor cannot run as skipped). `count` receives how many.
const BuiltWidth* BuiltWidths(int& count);

}  // namespace xm::mixer
