// Conversion of real numbers to 32-bit integers as the whole program does it: to nearest,
// ties to even (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
#pragma once

#include <cstdint>

namespace fw {

// Rounds to nearest, ties to even. Raises ErrorCode::Overflow when the rounded value
// lies outside the 32-bit signed range, and for NaN.
int32_t RoundToInt32(double value);

}  // namespace fw
