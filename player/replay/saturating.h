// Arithmetic for the song values that effects change without a limit (volumes, global volume,
// panning, periods). Repeated slides, retriggers and portamentos could otherwise run a 32-bit
// value past its range; these pin it at the range's ends instead.
#pragma once

#include <algorithm>
#include <cstdint>

namespace xm {

// The range kept by every unlimited value. Symmetric, so that negating a value never overflows.
inline constexpr int64_t kUnlimitedMax = INT32_MAX;
inline constexpr int64_t kUnlimitedMin = -INT32_MAX;

// `value` pinned to the symmetric 32-bit range.
inline int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp(value, kUnlimitedMin, kUnlimitedMax));
}

// a + b (either may be any unlimited value), pinned to the symmetric 32-bit range.
inline int32_t SaturatingAdd(int32_t a, int64_t b) {
    return Saturate(int64_t{a} + b);
}

}  // namespace xm
