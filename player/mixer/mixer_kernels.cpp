#include "player/mixer/mixer_kernels.h"

#include "player/mixer/mixer_frames.h"

namespace xm::mixer {

// The tables of the widths the build compiled (widths/, each built wholly for its instruction set;
// player/mixer/CMakeLists.txt adds a width's file and its XM_MIXER_*_KERNELS switch together).
extern const MixerKernels kSse2Kernels, kAvx2Kernels, kAvx512Kernels;

namespace {

int64_t PlainSteady(const int16_t* data, uint32_t /*points*/, int64_t position_fp32_32,
                    int64_t step_fp32_32, int32_t leftVolume, int32_t rightVolume,
                    int32_t* accumulator, uint32_t frames) {
    return MixSteady(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, accumulator,
                     frames);
}

int64_t PlainRamping(const int16_t* data, uint32_t /*points*/, int64_t position_fp32_32,
                     int64_t step_fp32_32, int32_t& leftVolume, int32_t& rightVolume,
                     int32_t leftIncrement, int32_t rightIncrement, int32_t* accumulator,
                     uint32_t frames) {
    return MixRamping(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, leftIncrement,
                      rightIncrement, accumulator, frames);
}

constexpr MixerKernels kPlain{0, PlainSteady, PlainRamping, false, nullptr, 1};

// The widths the build compiled, widest first, each with whether the processor has it.
struct Built {
    BuiltWidth widths[3];
    int count;
};

Built FindBuilt() {
    Built built{{}, 0};
#ifdef XM_MIXER_AVX512_KERNELS
    built.widths[built.count++] = {&kAvx512Kernels, __builtin_cpu_supports("avx512f") &&
                                                        __builtin_cpu_supports("avx512bw") &&
                                                        __builtin_cpu_supports("avx512dq")};
#endif
#ifdef XM_MIXER_AVX2_KERNELS
    built.widths[built.count++] = {&kAvx2Kernels, __builtin_cpu_supports("avx2") != 0};
#endif
#ifdef XM_MIXER_SSE2_KERNELS
    built.widths[built.count++] = {&kSse2Kernels, __builtin_cpu_supports("sse2") != 0};
#endif
    return built;
}

const Built& BuiltKernels() {
    static const Built built = FindBuilt();
    return built;
}

// The tables this build and processor offer, widest first, the plain loops last.
struct Offered {
    const MixerKernels* tables[4];
    int count;
};

Offered FindOffered() {
    Offered offered{{}, 0};
    const Built& built = BuiltKernels();
    for (int i = 0; i < built.count; ++i) {
        if (built.widths[i].runsHere) offered.tables[offered.count++] = built.widths[i].kernels;
    }
    offered.tables[offered.count++] = &kPlain;
    return offered;
}

const Offered& OfferedKernels() {
    static const Offered offered = FindOffered();
    return offered;
}

}  // namespace

const BuiltWidth* BuiltWidths(int& count) {
    count = BuiltKernels().count;
    return BuiltKernels().widths;
}

const MixerKernels& PlainKernels() {
    return kPlain;
}

const MixerKernels& ChooseKernels(const MixerOptions& options) {
    if (!options.shortcuts) return kPlain;
    const Offered& offered = OfferedKernels();
    for (int i = 0; i < offered.count; ++i) {
        if (offered.tables[i]->bits <= options.vectorBits) return *offered.tables[i];
    }
    return kPlain;
}

}  // namespace xm::mixer

namespace xm {

uint32_t WidestMixerVectors() {
    return mixer::OfferedKernels().tables[0]->bits;
}

}  // namespace xm
