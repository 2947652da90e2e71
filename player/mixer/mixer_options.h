// What the mixer may use to get its result. The output is bit-identical whatever is chosen; the
// player takes the defaults, tests and benchmarks choose less to compare.
#pragma once

#include <cstdint>

namespace xm {

struct MixerOptions {
    // Shortcuts such as advancing a silent voice without reading its sample.
    bool shortcuts = true;
    // The widest vector loops to use: 0 (plain loops), 128, 256 or 512 bits. Capped by what the
    // processor and the build offer (WidestMixerVectors).
    uint32_t vectorBits = 512;
};

// The widest vector loops this processor and build offer: 0, 128 (SSE2), 256 (AVX2) or 512
// (AVX-512).
uint32_t WidestMixerVectors();

}  // namespace xm
