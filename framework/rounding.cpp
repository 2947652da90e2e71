#include "framework/rounding.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/errors.h"

namespace fw {

namespace {

// Converts in the current rounding mode, which is to-nearest-even unless someone changed it.
// The SSE conversion is one instruction; the C library's nearbyint on MinGW reloads the x87
// control word twice per call, and the starfield rounds 2,400 times a frame.
int32_t ConvertInRange(double value) {
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(value));
#else
    return static_cast<int32_t>(std::lrint(value));
#endif
}

}  // namespace

int32_t RoundToInt32(double value) {
    // Exactly the values that round into the 32-bit range: -2^31 - 0.5 goes to the even -2^31,
    // 2^31 - 0.5 to 2^31. NaN fails both comparisons.
    if (!(value >= -2147483648.5 && value < 2147483647.5)) Raise(ErrorCode::Overflow);
    return ConvertInRange(value);
}

}  // namespace fw
