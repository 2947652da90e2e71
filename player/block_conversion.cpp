#include "player/block_conversion.h"

#include <algorithm>

namespace xm {

namespace {

// One voice at full volume, fully to one side, comes to about half of the 16-bit range.
constexpr uint32_t kAccumulatorDivisor = 16320;
constexpr uint32_t kMaxMagnitude = 32767;
constexpr uint32_t kLevelDivisor = 1024;

uint32_t Magnitude(int32_t sum, uint32_t masterVolume) {
    const uint32_t absolute =
        sum < 0 ? 0u - static_cast<uint32_t>(sum) : static_cast<uint32_t>(sum);
    uint32_t m = absolute / kAccumulatorDivisor;
    if (absolute % kAccumulatorDivisor >= kAccumulatorDivisor / 2) ++m;
    m = std::min(m, kMaxMagnitude);
    return (m * masterVolume) >> 15;
}

int16_t WithSign(int32_t sum, uint32_t magnitude) {
    const auto m = static_cast<int32_t>(magnitude);
    return static_cast<int16_t>(sum < 0 ? -m : m);
}

}  // namespace

int16_t ConvertSample(int32_t sum, uint32_t masterVolume) {
    return WithSign(sum, Magnitude(sum, masterVolume));
}

uint32_t ConvertBlock(const int32_t* accumulator, int16_t* output, uint32_t frames,
                      uint32_t masterVolume) {
    uint32_t leftSum = 0, rightSum = 0;
    for (uint32_t i = 0; i < 2 * frames; i += 2) {
        const uint32_t left = Magnitude(accumulator[i], masterVolume);
        const uint32_t right = Magnitude(accumulator[i + 1], masterVolume);
        output[i] = WithSign(accumulator[i], left);
        output[i + 1] = WithSign(accumulator[i + 1], right);
        leftSum += left;
        rightSum += right;
    }
    return (leftSum / kLevelDivisor) << 16 | (rightSum / kLevelDivisor);
}

}  // namespace xm
