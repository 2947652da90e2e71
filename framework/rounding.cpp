#include "framework/rounding.h"

#include <cmath>

#include "framework/errors.h"

namespace fw {

int32_t RoundToInt32(double value) {
    // nearbyint follows the current rounding mode, which is to-nearest-even unless someone changed
    // it; rint-style rounding is exactly the ties-to-even rule.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) Raise(ErrorCode::Overflow);
    return static_cast<int32_t>(rounded);
}

}  // namespace fw
