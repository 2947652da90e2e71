// The mixer tests' view of the vector widths: every width the build compiled becomes a case of
// its own, skipped (with the reason) where this processor lacks its instructions, so that a width
// that did not run can never pass unseen.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/mixer/mixer_kernels.h"

namespace xm::test {

struct MixerWidth {
    const mixer::MixerKernels* kernels;
    bool runsHere;
    uint32_t bits() const { return kernels->bits; }
};

// Every width the build has, widest first.
inline std::vector<MixerWidth> BuiltMixerWidths() {
    int count = 0;
    const mixer::BuiltWidth* built = mixer::BuiltWidths(count);
    std::vector<MixerWidth> widths;
    for (int i = 0; i < count; ++i) widths.push_back({built[i].kernels, built[i].runsHere});
    return widths;
}

inline std::string MixerWidthName(const testing::TestParamInfo<MixerWidth>& info) {
    return "Bits" + std::to_string(info.param.bits());
}

// How many random songs a comparison takes: `usual`, or XM_MIXER_RANDOM_SONGS where set (a
// long run finds boundary cases that the usual count misses).
inline uint32_t RandomSongCount(uint32_t usual) {
    const char* asked = std::getenv("XM_MIXER_RANDOM_SONGS");
    if (asked == nullptr || *asked == '\0') return usual;
    const unsigned long n = std::strtoul(asked, nullptr, 10);
    return n == 0 ? usual : static_cast<uint32_t>(n);
}

}  // namespace xm::test

// Skips the current case where the processor lacks the width's instructions.
#define XM_SKIP_WIDTH_NOT_HERE(width)                                                 \
    if (!(width).runsHere)                                                            \
    GTEST_SKIP() << "this processor lacks the instructions of the " << (width).bits() \
                 << "-bit kernels"
