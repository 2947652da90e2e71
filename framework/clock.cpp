// The native clock; the Windows build reads the performance counter (framework/win/clock.cpp).
#ifndef _WIN32

#include "framework/clock.h"

#include <chrono>

namespace fw {

uint64_t MonotonicMicroseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

}  // namespace fw

#endif
