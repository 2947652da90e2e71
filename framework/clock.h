// A monotonic clock for seeding: the performance counter in the Windows build (framework/win/),
// the standard library's steady clock natively.
#pragma once

#include <cstdint>

namespace fw {

// Microseconds since an arbitrary start, never going back. Any thread.
uint64_t MonotonicMicroseconds();

}  // namespace fw
