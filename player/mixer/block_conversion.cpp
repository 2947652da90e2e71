#include "player/mixer/block_conversion.h"

#include <algorithm>
#include <cstdlib>

#include "player/mixer/mixer_kernels.h"

namespace xm {

namespace {

// One voice at full volume, fully to one side, comes to about half of the 16-bit range.
constexpr uint32_t kAccumulatorDivisor = 16320;
constexpr uint32_t kMaxMagnitude = 32767;
constexpr uint32_t kLevelDivisor = 1024;

// Written without branches so that the block loop vectorises: adding half the divisor rounds up
// exactly when the remainder is 8160 or more; `sign` is 0 or all ones.
inline uint32_t Magnitude(uint32_t sum, uint32_t sign, uint32_t masterVolume) {
    const uint32_t absolute = (sum ^ sign) - sign;
    const uint32_t m =
        std::min((absolute + kAccumulatorDivisor / 2) / kAccumulatorDivisor, kMaxMagnitude);
    return (m * masterVolume) >> 15;
}

inline int16_t Convert(int32_t sum, uint32_t masterVolume) {
    const uint32_t sign = static_cast<uint32_t>(sum >> 31);
    const uint32_t m = Magnitude(static_cast<uint32_t>(sum), sign, masterVolume);
    return static_cast<int16_t>((m ^ sign) - sign);
}

}  // namespace

int16_t ConvertSample(int32_t sum, uint32_t masterVolume) {
    return Convert(sum, masterVolume);
}

uint32_t ConvertBlock(const int32_t* accumulator, int16_t* output, uint32_t frames,
                      uint32_t masterVolume, const MixerOptions& options) {
    const mixer::MixerKernels& kernels = mixer::ChooseKernels(options);
    if (kernels.convertBlock != nullptr && frames % kernels.conversionFrames == 0 &&
        masterVolume <= 0xFFFF) {
        return kernels.convertBlock(accumulator, output, frames, masterVolume);
    }
    for (uint32_t i = 0; i < 2 * frames; ++i) {
        output[i] = Convert(accumulator[i], masterVolume);
    }
    // The output never holds -32768, so its magnitudes are the converted ones.
    uint32_t leftSum = 0, rightSum = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        leftSum += static_cast<uint32_t>(std::abs(output[2 * i]));
        rightSum += static_cast<uint32_t>(std::abs(output[2 * i + 1]));
    }
    return (leftSum / kLevelDivisor) << 16 | (rightSum / kLevelDivisor);
}

}  // namespace xm
